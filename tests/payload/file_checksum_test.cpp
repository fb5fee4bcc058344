#include "payload/file_checksum.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "payload/crc32.h"
#include "tests/harness/temp_dir.h"

namespace {

uint32_t crc_of(const std::string& bytes) { return crc32_buffer(bytes.data(), bytes.size()); }

// The CRC-32 register without its final inversion is linear in the data bits, so
// four bytes that bring the checksum to 0 follow from 32 equations over GF(2).
std::string zero_crc_suffix(const std::string& data) {
  auto crc_with = [&](uint32_t suffix) {
    std::string bytes = data;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(suffix >> (8 * i));
    return crc_of(bytes);
  };
  uint32_t base = crc_with(0);
  uint32_t basis[32] = {}, combination[32] = {};
  for (int j = 0; j < 32; ++j) {
    uint32_t v = crc_with(1u << j) ^ base, m = 1u << j;
    for (int bit = 31; bit >= 0 && v != 0; --bit) {
      if (((v >> bit) & 1) == 0) continue;
      if (basis[bit] == 0) {
        basis[bit] = v;
        combination[bit] = m;
        break;
      }
      v ^= basis[bit];
      m ^= combination[bit];
    }
  }
  uint32_t suffix = 0;
  for (int bit = 31; bit >= 0; --bit) {
    if (((base >> bit) & 1) == 0) continue;
    base ^= basis[bit];
    suffix ^= combination[bit];
  }
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(suffix >> (8 * i));
  return bytes;
}

HANDLE open_for_writing(const std::wstring& path, DWORD share_mode) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, share_mode, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

void append(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

TEST(Crc32OfFile, ChecksumsTheWholeContent) {
  TempDir dir;
  std::string content(200000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + (i >> 9));
  write_file(dir.file(L"data.bin"), content);
  EXPECT_EQ(crc32_of_file(dir.file(L"data.bin").c_str()), crc_of(content));
}

TEST(Crc32OfFile, GivesZeroForMissingAndEmptyFilesAndFolders) {
  TempDir dir;
  write_file(dir.file(L"empty"), "");
  EXPECT_EQ(crc32_of_file(dir.file(L"missing").c_str()), 0u);
  EXPECT_EQ(crc32_of_file(dir.file(L"empty").c_str()), 0u);
  EXPECT_EQ(crc32_of_file(dir.path().c_str()), 0u);
}

TEST(Crc32OfFile, GivesOneForContentWhoseChecksumIsZero) {
  std::string content = "payload" + zero_crc_suffix("payload");
  ASSERT_EQ(crc_of(content), 0u);
  TempDir dir;
  write_file(dir.file(L"zero"), content);
  EXPECT_EQ(crc32_of_file(dir.file(L"zero").c_str()), 1u);
}

TEST(Crc32OfFile, GivesZeroForAFileLockedAgainstReading) {
  TempDir dir;
  HANDLE file = open_for_writing(dir.file(L"locked"), 0);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  append(file, "secret");
  EXPECT_EQ(crc32_of_file(dir.file(L"locked").c_str()), 0u);
  CloseHandle(file);
  EXPECT_EQ(crc32_of_file(dir.file(L"locked").c_str()), crc_of("secret"));
}

TEST(Crc32OfFile, ChecksumsAFileThatIsOpenForWritingWithReadSharing) {
  TempDir dir;
  HANDLE file = open_for_writing(dir.file(L"growing"), FILE_SHARE_READ);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  append(file, "first part");
  EXPECT_EQ(crc32_of_file(dir.file(L"growing").c_str()), crc_of("first part"));
  append(file, ", second part");
  EXPECT_EQ(crc32_of_file(dir.file(L"growing").c_str()), crc_of("first part, second part"));
  CloseHandle(file);
}

}  // namespace
