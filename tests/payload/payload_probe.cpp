// A GUI-subsystem program like the launcher that reads a payload block from a file
// the way the unpacker does: `payload_probe BLOCK_FILE COUNT` checks the header, reads
// COUNT archive bytes in 32 KiB pieces and prints "read COUNT".
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "payload/container.h"
#include "payload/decode_ahead_state.h"
#include "payload/stream.h"
#include "support/abnormal_end.h"
#include "tests/harness/probe_report.h"
#include "tests/harness/temp_dir.h"

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc != 3) return 100;
  static std::string block;
  static PayloadStream stream;
  static DecodeAhead ahead;
  block = read_file(argv[1]);
  uint64_t count = wcstoull(argv[2], nullptr, 10);
  payload_attach(stream, reinterpret_cast<const unsigned char*>(block.data()), block.size());
  if (!check_payload_header(stream)) {
    return report_failure(catalogued_failure(FailureKind::no_header));
  }
  if (!payload_open(stream, ahead)) {
    return report_failure(catalogued_failure(FailureKind::out_of_memory));
  }
  static unsigned char piece[32768];
  for (uint64_t left = count; left > 0;) {
    uint64_t n = left < sizeof piece ? left : sizeof piece;
    if (!payload_read(stream, piece, n))
      return report_failure(catalogued_failure(FailureKind::damaged));
    left -= n;
  }
  payload_close(stream);
  printf("read %llu\n", static_cast<unsigned long long>(count));
  return 0;
}
