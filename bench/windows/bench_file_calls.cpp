// What a file costs through the system, apart from decoding: for every file below a
// folder, a file of the same size is created and written under a new folder, and then
// opened, read whole and closed, each by THREADS threads taking files in turn. The
// folders are made first and not timed.
//   bench_file_calls.exe SOURCE_FOLDER NEW_FOLDER THREADS
// prints one line "threads=... files=... write_us=... check_us=..." (per file, wall time).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct File {
  std::wstring path;
  DWORD size;
};

std::vector<File> files;
volatile LONG next_file = -1;
constexpr DWORD buffer_size = 1 << 20;

void list_files(const std::wstring& folder, const std::wstring& below) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CreateDirectoryW((below + L"\\" + name).c_str(), nullptr);
      list_files(folder + L"\\" + name, below + L"\\" + name);
    } else if (entry.nFileSizeHigh == 0 && entry.nFileSizeLow <= buffer_size) {
      files.push_back({below + L"\\" + name, entry.nFileSizeLow});
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

File* take_file() {
  LONG i = InterlockedIncrement(&next_file);
  return i < static_cast<LONG>(files.size()) ? &files[i] : nullptr;
}

DWORD WINAPI write_files(void* buffer) {
  while (File* file = take_file()) {
    HANDLE h = CreateFileW(file->path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      fprintf(stderr, "bench_file_calls: cannot create %ls\n", file->path.c_str());
      exit(1);
    }
    DWORD written = 0;
    if (file->size > 0) WriteFile(h, buffer, file->size, &written, nullptr);
    CloseHandle(h);
  }
  return 0;
}

DWORD WINAPI check_files(void* buffer) {
  while (File* file = take_file()) {
    HANDLE h = CreateFileW(file->path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size;
    DWORD got = 0;
    if (h == INVALID_HANDLE_VALUE || !GetFileSizeEx(h, &size) ||
        !ReadFile(h, buffer, static_cast<DWORD>(size.QuadPart), &got, nullptr)) {
      fprintf(stderr, "bench_file_calls: cannot read %ls\n", file->path.c_str());
      exit(1);
    }
    CloseHandle(h);
  }
  return 0;
}

double now_ms() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(now.QuadPart) / double(frequency.QuadPart);
}

// Microseconds per file for every thread running work over all files.
double time_per_file(LPTHREAD_START_ROUTINE work, int thread_count) {
  next_file = -1;
  std::vector<HANDLE> threads;
  double started = now_ms();
  for (int i = 0; i < thread_count; ++i) {
    void* buffer = VirtualAlloc(nullptr, buffer_size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    threads.push_back(CreateThread(nullptr, 0, work, buffer, 0, nullptr));
  }
  WaitForMultipleObjects(thread_count, threads.data(), TRUE, INFINITE);
  return (now_ms() - started) * 1000.0 / double(files.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || _wtoi(argv[3]) < 1 || _wtoi(argv[3]) > MAXIMUM_WAIT_OBJECTS) {
    fprintf(stderr, "usage: bench_file_calls.exe SOURCE_FOLDER NEW_FOLDER THREADS\n");
    return 2;
  }
  if (!CreateDirectoryW(argv[2], nullptr)) {
    fprintf(stderr, "bench_file_calls: cannot make %ls (it must not exist)\n", argv[2]);
    return 1;
  }
  list_files(argv[1], argv[2]);
  int thread_count = _wtoi(argv[3]);
  double write_us = time_per_file(write_files, thread_count);
  double check_us = time_per_file(check_files, thread_count);
  printf("threads=%d files=%u write_us=%.0f check_us=%.0f\n", thread_count,
         static_cast<unsigned>(files.size()), write_us, check_us);
  return 0;
}
