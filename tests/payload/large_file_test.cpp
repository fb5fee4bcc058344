// A file past 4 GiB, in a program of its own: reading it takes several seconds under
// Wine, and ctest can run it beside the other tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "payload/crc32.h"
#include "tests/harness/temp_dir.h"
#include "tests/payload/main_thread_checksum.h"

namespace {

// The register after n zero bytes is a linear map of the register before; squaring
// its matrix 32 times gives the map for 2^32 bytes.
uint32_t apply(const uint32_t (&matrix)[32], uint32_t vector) {
  uint32_t result = 0;
  for (int i = 0; i < 32; ++i) {
    if ((vector >> i) & 1) result ^= matrix[i];
  }
  return result;
}

uint32_t crc_after_4gib_of_zeros(uint32_t crc) {
  uint32_t matrix[32];
  for (int i = 0; i < 32; ++i) {
    uint32_t c = 1u << i;
    for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    matrix[i] = c;
  }
  for (int square = 0; square < 32; ++square) {
    uint32_t next[32];
    for (int i = 0; i < 32; ++i) next[i] = apply(matrix, matrix[i]);
    std::copy(next, next + 32, matrix);
  }
  return ~apply(matrix, ~crc);
}

TEST(Crc32OfFile, CoversFilesOfFourGibibytesAndMore) {
  TempDir dir;
  std::wstring path = dir.file(L"large");
  write_file(path, "hello");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  // Everything after the first bytes is a hole, so the file costs no disk space.
  LARGE_INTEGER end;
  end.QuadPart = 5 + (int64_t{1} << 32);
  bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  if (!sized) GTEST_SKIP() << "no room for a 4 GiB file";
  // A 32-bit size would see 5 bytes and give the checksum of "hello".
  EXPECT_EQ(crc32_of_file(path.c_str()), crc_after_4gib_of_zeros(crc32_buffer("hello", 5)));
}

}  // namespace
