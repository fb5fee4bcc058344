#include "tests/payload/main_thread_checksum.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "payload/crc32.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/zero_crc.h"

namespace {

uint32_t crc_of(const std::string& bytes) { return crc32_buffer(bytes.data(), bytes.size()); }

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
  std::string content = bytes_with_zero_crc(11);
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
