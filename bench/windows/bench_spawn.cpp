// Starts a program, waits for it and returns its exit code, as the launcher does with
// its child, and nothing else: its start less the trivial child's is what starting and
// waiting for a child process costs.
//   bench_spawn.exe PROGRAM
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(argv[1], nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return 2;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD exit_code = 0;
  GetExitCodeProcess(info.hProcess, &exit_code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return static_cast<int>(exit_code);
}
