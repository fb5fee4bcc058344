// A DLL that only records that it was loaded: a line with its own file name appended to
// planted-loads.txt beside it. Planted beside a program under the names of system DLLs, it
// shows which of them the program took from its own folder. Built without the C runtime,
// so that it loads anywhere, whatever it is called.
#include <windows.h>

namespace {

constexpr wchar_t log_name[] = L"planted-loads.txt";
constexpr DWORD capacity = 512;

void record(HINSTANCE self) {
  wchar_t path[capacity];
  DWORD length = GetModuleFileNameW(self, path, capacity - sizeof log_name / sizeof *log_name);
  DWORD folder = length;
  while (folder > 0 && path[folder - 1] != L'\\') --folder;
  char line[capacity];
  DWORD used = 0;
  for (DWORD i = folder; i < length; ++i) line[used++] = static_cast<char>(path[i]);
  line[used++] = '\n';
  for (DWORD i = 0; i < sizeof log_name / sizeof *log_name; ++i) path[folder + i] = log_name[i];
  HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(log, line, used, &written, nullptr);
  CloseHandle(log);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) record(self);
  return TRUE;
}
