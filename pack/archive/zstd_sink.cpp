#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameProgression, for the progress line
#include "pack/archive/zstd_sink.h"

#include <string>

#include "pack/pack_error.h"

namespace pack {
namespace {

size_t check(size_t result, const char* what) {
  if (ZSTD_isError(result)) {
    throw PackError(std::string("zstd: ") + what + ": " + ZSTD_getErrorName(result));
  }
  return result;
}

}  // namespace

int window_log_for(uint64_t archive_size) {
  int log = 10;
  while (log < 27 && (uint64_t{1} << log) < archive_size) ++log;
  return log;
}

ZstdSink::ZstdSink(ByteSink& out, const CompressionSettings& settings, uint64_t content_size,
                   Progress& progress)
    : context_(ZSTD_createCCtx(), ZSTD_freeCCtx),
      out_(out),
      progress_(progress),
      buffer_(ZSTD_CStreamOutSize()) {
  if (!context_) throw PackError("zstd: out of memory");
  ZSTD_CCtx* cctx = context_.get();
  check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, settings.level), "level");
  check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, window_log_for(content_size)), "window");
  // Finds repeats across the whole window (shared runtimes in many DLLs) cheaply; the
  // window stays within what the launcher's decoder accepts.
  check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1), "long matching");
  check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, settings.checksum ? 1 : 0), "checksum");
  // Always the multi-threaded engine, even with one worker: its output depends on the
  // job size (zstd's default, four windows), never on the number of workers.
  check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_nbWorkers, settings.threads < 1 ? 1 : settings.threads),
        "threads");
  check(ZSTD_CCtx_setPledgedSrcSize(cctx, content_size), "content size");
}

void ZstdSink::write(const void* data, size_t size) {
  ZSTD_inBuffer input{data, size, 0};
  while (input.pos < input.size) compress(input, ZSTD_e_continue);
}

uint64_t ZstdSink::finish() {
  ZSTD_inBuffer input{nullptr, 0, 0};
  compress(input, ZSTD_e_end);
  return bytes_out_;
}

void ZstdSink::compress(ZSTD_inBuffer& input, ZSTD_EndDirective mode) {
  size_t remaining = 0;
  do {
    ZSTD_outBuffer output{buffer_.data(), buffer_.size(), 0};
    remaining = check(ZSTD_compressStream2(context_.get(), &output, &input, mode), "compress");
    if (output.pos > 0) out_.write(buffer_.data(), output.pos);
    bytes_out_ += output.pos;
    // The workers lag behind the input taken, so progress counts what they compressed.
    if (progress_.due()) {
      ZSTD_frameProgression done = ZSTD_getFrameProgression(context_.get());
      progress_.update(done.consumed, done.produced);
    }
    // With ZSTD_e_continue the caller loops until the input is taken; ZSTD_e_end loops
    // here until the frame is flushed.
  } while (mode == ZSTD_e_end && remaining != 0);
}

}  // namespace pack
