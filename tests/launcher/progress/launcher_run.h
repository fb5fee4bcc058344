#pragma once
// A launcher of the progress tests started in its own folder (see pack_progress.sh), its
// standard output and error in a file there or on this program's console.
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <utility>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

inline std::wstring progress_folder(const std::wstring& run = L"") {
  return this_program_directory() + L"\\progress" + (run.empty() ? L"" : L"\\" + run);
}

// The archive's last entry, which a start reaches after seconds of writing.
inline std::wstring last_entry() {
  std::string name = read_file(progress_folder() + L"\\last-entry.txt");
  return widen_utf8(name.substr(0, name.find_first_of("\r\n")));
}

// Holds the last entry's file in the run's target open for this program alone, so that the
// start fails there: the handle, to be closed.
inline HANDLE hold_last_entry(const std::wstring& run) {
  std::wstring path = progress_folder(run) + L"\\target\\" + last_entry();
  SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  write_file(path, "old");
  return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

struct LauncherRun {
  std::wstring folder;
  PROCESS_INFORMATION process = {};
  HANDLE output = INVALID_HANDLE_VALUE;

  // redirected: standard output and error go to output.txt; else the console's, or with
  // no_handles none at all, as a desktop starts a GUI program.
  LauncherRun(const std::wstring& run, bool redirected, bool no_handles = false)
      : folder(progress_folder(run)) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (no_handles) startup.dwFlags = STARTF_USESTDHANDLES;
    if (redirected) {
      SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
      output = CreateFileW((folder + L"\\output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                           &inherit, CREATE_ALWAYS, 0, nullptr);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = output;
      startup.hStdError = output;
    }
    std::wstring line = quote_argument(folder + L"\\launcher.exe");
    CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                   &process);
  }
  ~LauncherRun() {
    if (running()) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  }
  LauncherRun(const LauncherRun&) = delete;
  LauncherRun& operator=(const LauncherRun&) = delete;

  bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
  // The exit status once ended, within limit_ms; STILL_ACTIVE when it runs on.
  DWORD exit_status(DWORD limit_ms = 60000) const {
    WaitForSingleObject(process.hProcess, limit_ms);
    DWORD status = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &status);
    return status;
  }
  std::string output_text() const { return read_file(folder + L"\\output.txt"); }
  bool child_started() const { return file_exists(folder + L"\\child-started"); }
};

// What a window's controls say, a line each.
inline std::wstring text_in(HWND window) {
  std::wstring text;
  EnumChildWindows(
      window,
      [](HWND control, LPARAM context) -> BOOL {
        wchar_t line[2048] = L"";
        GetWindowTextW(control, line, 2048);
        *reinterpret_cast<std::wstring*>(context) += std::wstring(line) + L"\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// A visible window of the process in search.first, into search.second.
inline BOOL CALLBACK visible_window_of_process(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<std::pair<DWORD, HWND>*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.first || !IsWindowVisible(window)) return TRUE;
  search.second = window;
  return FALSE;
}

inline HWND window_of(const LauncherRun& run) {
  std::pair<DWORD, HWND> search = {run.process.dwProcessId, nullptr};
  EnumWindows(visible_window_of_process, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

// The launcher's window once it shows one, or null when it ends or limit_ms pass first.
inline HWND wait_for_window(const LauncherRun& run, DWORD limit_ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < limit_ms; Sleep(50)) {
    if (HWND window = window_of(run)) return window;
    if (!run.running()) return nullptr;
  }
  return nullptr;
}
