// The file side of a warm start under Wine, apart from decoding: for every file below a
// folder, the launcher's crc32_of_file (open, size, map, view, CRC-32, close); for
// comparison a bare open and close of each file, and reading each file whole with
// ReadFile in 32 KiB pieces instead of mapping it; and the CRC-32 of every file's bytes
// already in memory, which is what a cold start adds to check the data it writes.
//   bench_checksums.exe FOLDER
// prints one line "files=... usable=... open_close_ms=... read_ms=... crc32_of_file_ms=...
// bytes=... crc32_in_memory_ms=...".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "payload/crc32.h"
#include "tests/harness/temp_dir.h"
#include "tests/payload/main_thread_checksum.h"

namespace {

void list_files(const std::wstring& folder, std::vector<std::wstring>& files) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      list_files(folder + L"\\" + name, files);
    } else {
      files.push_back(folder + L"\\" + name);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

double now_ms() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(now.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: bench_checksums.exe FOLDER\n", stderr);
    return 2;
  }
  std::vector<std::wstring> files;
  list_files(argv[1], files);
  if (files.empty()) {
    fprintf(stderr, "bench_checksums: no files below %ls\n", argv[1]);
    return 2;
  }
  double start = now_ms();
  for (const std::wstring& file : files) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  double opened = now_ms();
  static unsigned char buffer[32768];
  for (const std::wstring& file : files) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    }
    CloseHandle(h);
  }
  double read = now_ms();
  unsigned usable = 0;
  for (const std::wstring& file : files) usable += crc32_of_file(file.c_str()) != 0;
  double checked = now_ms();
  std::vector<std::string> contents;
  size_t bytes = 0;
  for (const std::wstring& file : files) {
    contents.push_back(read_file(file));
    bytes += contents.back().size();
  }
  volatile uint32_t folded = 0;
  double crc_start = now_ms();
  for (const std::string& content : contents) {
    folded = folded ^ crc32_buffer(content.data(), content.size());
  }
  double crc_ms = now_ms() - crc_start;
  printf(
      "files=%zu usable=%u open_close_ms=%.1f read_ms=%.1f crc32_of_file_ms=%.1f bytes=%zu "
      "crc32_in_memory_ms=%.1f\n",
      files.size(), usable, opened - start, read - opened, checked - read, bytes, crc_ms);
  return usable == files.size() ? 0 : 1;
}
