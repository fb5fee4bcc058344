// A GUI-subsystem program like the launcher that reads a payload block from a file
// the way the unpacker does: `payload_probe BLOCK_FILE COUNT` checks the header, reads
// COUNT archive bytes in 32 KiB pieces and prints "read COUNT".
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "launcher/errors.h"
#include "payload/container.h"
#include "payload/stream.h"
#include "tests/harness/temp_dir.h"

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc != 3) return 100;
  static std::string block;
  block = read_file(argv[1]);
  uint64_t count = wcstoull(argv[2], nullptr, 10);
  payload_attach(reinterpret_cast<const unsigned char*>(block.data()), block.size());
  check_payload_header();
  payload_open();
  static unsigned char piece[32768];
  for (uint64_t left = count; left > 0;) {
    uint64_t n = left < sizeof piece ? left : sizeof piece;
    payload_read(piece, n);
    left -= n;
  }
  payload_close();
  printf("read %llu\n", static_cast<unsigned long long>(count));
  return 0;
}
