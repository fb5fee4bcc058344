// Starts a command, waits for it and prints its wall time and peak private memory:
//   bench_run.exe PROGRAM [ARGUMENTS...]
// prints one line "elapsed_ms=... peak_private_bytes=... exit_code=...".
// The peak is the largest PeakPagefileUsage or PrivateUsage seen. Windows keeps a true
// peak, also after the child ends; Wine reports only the current value (its host
// process's anonymous resident memory) and nothing after the end, so the driver
// samples every millisecond while the child runs.
#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include <cstdio>
#include <cwchar>

namespace {

// The command line after our own program name, exactly as we were given it.
const wchar_t* arguments_after_program(const wchar_t* line) {
  bool quoted = false;
  for (; *line != L'\0'; ++line) {
    if (*line == L'"') quoted = !quoted;
    if (!quoted && (*line == L' ' || *line == L'\t')) break;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

SIZE_T private_peak(HANDLE process, SIZE_T peak) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    return peak;
  }
  if (counters.PeakPagefileUsage > peak) peak = counters.PeakPagefileUsage;
  if (counters.PrivateUsage > peak) peak = counters.PrivateUsage;
  return peak;
}

double milliseconds_since(LARGE_INTEGER start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain() {
  static wchar_t command[32768];
  const wchar_t* rest = arguments_after_program(GetCommandLineW());
  if (*rest == L'\0' || wcslen(rest) >= sizeof(command) / sizeof(command[0])) {
    fputs("usage: bench_run.exe PROGRAM [ARGUMENTS...]\n", stderr);
    return 2;
  }
  wcscpy(command, rest);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info)) {
    fprintf(stderr, "bench_run: cannot start %ls (error %lu)\n", command, GetLastError());
    return 2;
  }
  SIZE_T peak = 0;
  while (WaitForSingleObject(info.hProcess, 1) == WAIT_TIMEOUT)
    peak = private_peak(info.hProcess, peak);
  double elapsed = milliseconds_since(start);
  peak = private_peak(info.hProcess, peak);

  DWORD exit_code = 0;
  GetExitCodeProcess(info.hProcess, &exit_code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  printf("elapsed_ms=%.1f peak_private_bytes=%llu exit_code=%lu\n", elapsed,
         static_cast<unsigned long long>(peak), exit_code);
  return exit_code == 0 ? 0 : 1;
}
