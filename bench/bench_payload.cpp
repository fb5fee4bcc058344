// Throughput of the launcher's CRC-32 beside zlib's, and of payload_read beside a plain
// ZSTD_decompressStream loop over the same frame. Usage: bench_payload [--level N] [--runs N]
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "bench/serial_decode.h"
#include "payload/crc32.h"
#include "payload/stream.h"

namespace {

constexpr size_t mib = 1 << 20;

struct Options {
  int level = 12;  // 19, as the pack tool uses, takes a minute to compress
  int runs = 7;
};

Options parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--level") == 0) options.level = atoi(argv[i + 1]);
    if (strcmp(argv[i], "--runs") == 0) options.runs = std::max(1, atoi(argv[i + 1]));
  }
  return options;
}

// CPU time of this thread: on a shared machine, time spent waiting for a core does not
// count against whichever contender happened to be running.
double thread_seconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

double seconds_of(const std::function<void()>& work) {
  double start = thread_seconds();
  work();
  return thread_seconds() - start;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs the contenders in turn, so that a slow phase of the machine hits each alike;
// returns each one's median throughput in MB/s (10^6 bytes per second).
std::vector<double> race(const std::vector<std::function<void()>>& contenders, double bytes,
                         int runs) {
  std::vector<std::vector<double>> times(contenders.size());
  for (auto& contender : contenders) contender();  // warm caches and page tables
  for (int run = 0; run < runs; ++run) {
    for (size_t i = 0; i < contenders.size(); ++i) times[i].push_back(seconds_of(contenders[i]));
  }
  std::vector<double> throughput;
  for (auto& t : times) throughput.push_back(bytes / median(t) / 1e6);
  return throughput;
}

void print_header(const char* title, const char* relative_to) {
  printf("%-34s %8s %10s %10s\n", title, "size", "MB/s", relative_to);
}

void print_row(const char* what, const char* size, double mbps, double reference) {
  printf("  %-32s %8s %10.0f %8.1f %%\n", what, size, mbps, 100.0 * mbps / reference);
}

volatile uint32_t sink;

void bench_crc(size_t size, int runs) {
  std::string buffer = random_bytes(size);
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
  if (crc32_buffer(bytes, size) != crc32(0, bytes, static_cast<uInt>(size))) {
    fprintf(stderr, "bench_payload: crc32_buffer and zlib disagree\n");
    exit(1);
  }
  // Each timed run covers at least 256 MiB, so that short buffers are timed reliably.
  size_t repeats = std::max<size_t>(1, 256 * mib / size);
  auto ours = [&] {
    for (size_t i = 0; i < repeats; ++i) sink = crc32_buffer(bytes, size);
  };
  auto zlib = [&] {
    for (size_t i = 0; i < repeats; ++i) sink = crc32(0, bytes, static_cast<uInt>(size));
  };
  std::vector<double> mbps = race({ours, zlib}, double(size) * repeats, runs);
  std::string label = std::to_string(size / mib) + " MiB";
  print_row("crc32_buffer", label.c_str(), mbps[0], mbps[1]);
  print_row("zlib crc32", label.c_str(), mbps[1], mbps[1]);
}

// Reads the archive as the unpacker does: its whole length in 32 KiB pieces.
void read_through_payload_stream(const std::string& block, size_t archive_size) {
  static unsigned char piece[32768];
  PayloadStream stream;
  DecodeAhead ahead;
  payload_attach(stream, reinterpret_cast<const unsigned char*>(block.data()), block.size());
  stream.cursor += 3;  // past the magic
  if (!payload_open(stream, ahead)) abort();
  for (size_t left = archive_size; left > 0;) {
    size_t n = std::min(left, sizeof piece);
    if (!payload_read(stream, piece, n)) abort();
    left -= n;
  }
  sink = piece[0];
  payload_close(stream);
}

void decompress_plainly(const std::string& frame) {
  static unsigned char window[131072];
  ZSTD_DCtx* context = ZSTD_createDCtx();
  ZSTD_inBuffer input{frame.data(), frame.size(), 0};
  size_t result = 1;
  while (result != 0) {
    ZSTD_outBuffer output{window, sizeof window, 0};
    result = ZSTD_decompressStream(context, &output, &input);
    if (ZSTD_isError(result)) {
      fprintf(stderr, "bench_payload: %s\n", ZSTD_getErrorName(result));
      exit(1);
    }
  }
  sink = window[0];
  ZSTD_freeDCtx(context);
}

void bench_decode(size_t size, const Options& options) {
  std::string archive = mixed_bytes(size);
  auto start = std::chrono::steady_clock::now();
  std::string frame = compress_frame(archive, options.level);
  double compress_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::string block = payload_block(frame);
  printf("\n");
  print_header("Decoding (MB/s of archive bytes)", "vs. plain");
  std::vector<double> mbps = race({[&] { read_through_payload_stream(block, archive.size()); },
                                   [&] { decompress_plainly(frame); }},
                                  double(size), options.runs);
  std::string label = std::to_string(size / mib) + " MiB";
  print_row("payload_read, 32 KiB pieces", label.c_str(), mbps[0], mbps[1]);
  print_row("ZSTD_decompressStream, 128 KiB", label.c_str(), mbps[1], mbps[1]);
  printf(
      "  (mixed data at zstd level %d: frame of %.1f MiB, %.1f %% of the archive; "
      "compressed in %.1f s)\n",
      options.level, frame.size() / double(mib), 100.0 * frame.size() / size, compress_seconds);
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parse_options(argc, argv);
  printf("Median of %d runs, timed in thread CPU time; MB/s are 10^6 bytes per second.\n\n",
         options.runs);
  print_header("CRC-32", "vs. zlib");
  bench_crc(1 * mib, options.runs);
  bench_crc(64 * mib, options.runs);
  bench_decode(64 * mib, options);
  return 0;
}
