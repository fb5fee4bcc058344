// Files that other processes hold, launchers that die holding the target lock, and
// writes that really fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/payload/unpacker.h"

namespace {

constexpr DWORD all_sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::vector<ArchiveEntry> entries() {
  return {{L"main.exe", "MZ program"}, {L"lib\\data.bin", std::string(70000, 'd')}};
}

HANDLE open_held(const std::wstring& path, DWORD access, DWORD sharing) {
  return CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Closes handle after ms milliseconds, as a scanner that lets go of a file.
std::thread release_after(HANDLE handle, DWORD ms) {
  return std::thread([=] {
    Sleep(ms);
    CloseHandle(handle);
  });
}

TEST(HeldFiles, UnchangedFileHeldBrieflyWithoutSharingIsWaitedForAndKept) {
  Unpacker unpacker;
  ASSERT_EQ(unpacker.run(entries()).exit_code, 0u);
  uint64_t written = write_time(unpacker.path(L"main.exe"));
  Sleep(50);
  HANDLE held = open_held(unpacker.path(L"main.exe"), GENERIC_READ, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread releaser = release_after(held, 300);
  ProcessResult result = unpacker.run(entries());
  releaser.join();
  EXPECT_EQ(result.exit_code, 0u) << result.out << result.err;
  EXPECT_EQ(write_time(unpacker.path(L"main.exe")), written);
}

TEST(HeldFiles, ChangedFileThatAReaderKeepsOpenWithFullSharingIsRewritten) {
  Unpacker unpacker;
  ASSERT_EQ(unpacker.run(entries()).exit_code, 0u);
  write_file(unpacker.path(L"main.exe"), "tampered");
  HANDLE reader = open_held(unpacker.path(L"main.exe"), GENERIC_READ, all_sharing);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ProcessResult result = unpacker.run(entries());
  CloseHandle(reader);
  EXPECT_EQ(result.exit_code, 0u) << result.out << result.err;
  EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ program");
}

TEST(HeldFiles, ChangedFileMappedBrieflyByAnotherChecksumIsRewrittenOnceReleased) {
  Unpacker unpacker;
  ASSERT_EQ(unpacker.run(entries()).exit_code, 0u);
  write_file(unpacker.path(L"main.exe"), "tampered");
  HANDLE file = open_held(unpacker.path(L"main.exe"), GENERIC_READ, all_sharing);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  CloseHandle(mapping);
  CloseHandle(file);
  std::thread releaser([view] {
    Sleep(300);
    UnmapViewOfFile(view);
  });
  ProcessResult result = unpacker.run(entries());
  releaser.join();
  EXPECT_EQ(result.exit_code, 0u) << result.out << result.err;
  EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ program");
}

// The open message names the whole path whatever characters its folders hold.
TEST(HeldFiles, FileHeldForLongerEndsWithTheOpenMessageNamingTheWholePath) {
  Unpacker unpacker;
  unpacker.target = unpacker.temp.file(L"\x0418\x0432\x0430\x043d \x4e2d\x6587\\r2");
  ASSERT_EQ(unpacker.run(entries()).exit_code, 0u);
  write_file(unpacker.path(L"main.exe"), "tampered");
  HANDLE held = open_held(unpacker.path(L"main.exe"), GENERIC_READ, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD start = GetTickCount();
  ProcessResult result = unpacker.run(entries());
  DWORD waited = GetTickCount() - start;
  CloseHandle(held);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_GE(waited, 900u);  // retried for about a second first
  std::string before = "Error, failed to open '" + narrow_utf8(unpacker.temp.path()) + "\\";
  std::string after = "\\r2\\main.exe' for writing. ([Error 32] ";
  EXPECT_EQ(result.err.rfind(before, 0), 0u) << result.err;
  size_t at = result.err.find(after);
  ASSERT_NE(at, std::string::npos) << result.err;
  EXPECT_GE(at, before.size() + 7)
      << result.err;  // "Иван 中文", whatever the code page makes of it
}

TEST(HeldFiles, LauncherKilledWhileHoldingTheLockLeavesNextStartToFinishAndRepair) {
  Unpacker unpacker;
  std::string big(48 << 20, 'b');
  for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
  std::vector<ArchiveEntry> files = {
      {L"main.exe", "MZ program"}, {L"big.bin", big}, {L"held.txt", "held"}, {L"tail.txt", "t"}};
  // held.txt, locked against everyone, keeps the first launcher retrying with the lock
  // held until it is killed.
  CreateDirectoryW(unpacker.target.c_str(), nullptr);
  write_file(unpacker.path(L"held.txt"), "old");
  HANDLE held = open_held(unpacker.path(L"held.txt"), GENERIC_READ, 0);
  std::wstring line = unpacker.command_line(build_block(build_archive(files), 1));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION first = {};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &first));
  while (!file_exists(unpacker.path(L"big.bin")) &&
         WaitForSingleObject(first.hProcess, 1) == WAIT_TIMEOUT) {
  }
  TerminateProcess(first.hProcess, 9);
  WaitForSingleObject(first.hProcess, INFINITE);
  DWORD killed_status = 0;
  GetExitCodeProcess(first.hProcess, &killed_status);
  CloseHandle(first.hThread);
  CloseHandle(first.hProcess);
  CloseHandle(held);
  ASSERT_EQ(killed_status, 9u);  // it was stopped before it could finish
  EXPECT_FALSE(file_exists(unpacker.path(L"tail.txt")));

  ProcessResult next = unpacker.run(build_block(build_archive(files), 1));
  ASSERT_EQ(next.exit_code, 0u) << next.out << next.err;
  for (const auto& file : files) {
    EXPECT_TRUE(read_file(unpacker.path(file.name)) == file.data) << narrow_utf8(file.name);
  }
}

// /dev/full takes the open and fails every write, as a full disk does.
TEST(HeldFiles, WriteThatFailsEndsWithTheUnpackMessageAndTheSystemsReason) {
  Unpacker unpacker;
  unpacker.target = L"Z:\\dev";
  ProcessResult result = unpacker.run({{L"full", "data"}});
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.rfind("Error, couldn't unpack file to target path. ([Error 112] ", 0), 0u)
      << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

}  // namespace
