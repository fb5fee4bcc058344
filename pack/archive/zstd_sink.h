#pragma once
#include <zstd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "pack/archive/byte_sink.h"
#include "pack/cli/progress.h"

namespace pack {

struct CompressionSettings {
  int level = 19;
  int threads = 1;
  bool checksum = true;
};

// Smallest window that covers the whole archive, between 2^10 and the 2^27 that a
// decoder with default limits accepts.
int window_log_for(uint64_t archive_size);

// Compresses everything written to it into one zstd frame written to out.
class ZstdSink : public ByteSink {
 public:
  ZstdSink(ByteSink& out, const CompressionSettings& settings, uint64_t content_size,
           Progress& progress);

  void write(const void* data, size_t size) override;
  // Ends the frame; returns its size in bytes.
  uint64_t finish();

 private:
  void compress(ZSTD_inBuffer& input, ZSTD_EndDirective mode);

  std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context_;
  ByteSink& out_;
  Progress& progress_;
  std::vector<unsigned char> buffer_;
  uint64_t bytes_out_ = 0;
};

}  // namespace pack
