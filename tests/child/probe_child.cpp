// The program that end-to-end tests pack and run as the child: it reports what it
// received and then exits, sleeps, reads a line, starts a grandchild, leaves the
// console or holds out against console events as asked through PROBE_* variables.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>

#include "tests/harness/temp_dir.h"

namespace {

std::string utf8(const wchar_t* text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(length > 0 ? length - 1 : 0, '\0');
  if (length > 1)
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::wstring variable(const wchar_t* name) {
  wchar_t value[32768];
  DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(value, length) : L"<unset>";
}

BOOL WINAPI ignore_event(DWORD) { return TRUE; }

DWORD exit_code_on_interrupt = 0;

BOOL WINAPI exit_on_interrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  printf("interrupted\n");
  fflush(stdout);
  ExitProcess(exit_code_on_interrupt);
}

// Starts this program again with PROBE_SLEEP_MS set to sleep_ms and no other behaviour,
// detached from everything but its console; prints its process ID.
void start_grandchild(const std::wstring& sleep_ms) {
  std::wstring own_sleep_ms = variable(L"PROBE_SLEEP_MS");
  SetEnvironmentVariableW(L"PROBE_GRANDCHILD_SLEEP_MS", nullptr);
  SetEnvironmentVariableW(L"PROBE_SLEEP_MS", sleep_ms.c_str());
  wchar_t self[4096];
  GetModuleFileNameW(nullptr, self, 4096);
  std::wstring line = L"\"" + std::wstring(self) + L"\" grandchild";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;  // no standard handles: it outlives their readers
  PROCESS_INFORMATION process = {};
  // Handed the handles this program may pass on, when asked to.
  BOOL inherits = variable(L"PROBE_GRANDCHILD_INHERITS") != L"<unset>";
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherits, 0, nullptr, nullptr,
                     &startup, &process)) {
    printf("grandchild=%lu\n", process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    printf("grandchild=failed %lu\n", GetLastError());
  }
  SetEnvironmentVariableW(L"PROBE_SLEEP_MS",
                          own_sleep_ms == L"<unset>" ? nullptr : own_sleep_ms.c_str());
}

// Every file below folder as "relative name:size".
std::set<std::wstring> list_tree(const std::wstring& folder) {
  std::set<std::wstring> files;
  for_each_file(folder, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
    files.insert(name + L":" + std::to_wstring(found.nFileSizeLow));
  });
  return files;
}

bool same_tree(const std::wstring& source, const std::wstring& copy) {
  return list_tree(source) == list_tree(copy);
}

}  // namespace

int wmain() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  printf("command_line=%s\n", utf8(GetCommandLineW()).c_str());
  printf("argc=%d\n", count);
  for (int i = 0; i < count; ++i) printf("arg%d=%s\n", i, utf8(arguments[i]).c_str());
  for (const wchar_t* name :
       {L"KOVRAN_ONEFILE_PARENT", L"KOVRAN_ONEFILE_DIRECTORY", L"KOVRAN_ORIGINAL_ARGV0",
        L"KOVRAN_ONEFILE_START", L"KOVRAN_ONEFILE_TIME_US", L"KOVRAN_ONEFILE_RANDOM"}) {
    printf("%s=%s\n", utf8(name).c_str(), utf8(variable(name).c_str()).c_str());
  }
  wchar_t directory[4096];
  GetCurrentDirectoryW(4096, directory);
  printf("cwd=%s\n", utf8(directory).c_str());
  GetModuleFileNameW(nullptr, directory, 4096);
  printf("self=%s\n", utf8(directory).c_str());
  printf("pid=%lu\n", GetCurrentProcessId());
  std::wstring tree_source = variable(L"PROBE_TREE_SOURCE");
  if (tree_source != L"<unset>") {
    // Whether this child finds the whole tree it was unpacked into, every file at its
    // size, against the packed folder.
    std::wstring self = directory;
    bool same = same_tree(tree_source, self.substr(0, self.rfind(L'\\')));
    printf("tree=%s\n", same ? "same" : "incomplete");
  }
  fflush(stdout);

  std::wstring grandchild_sleep_ms = variable(L"PROBE_GRANDCHILD_SLEEP_MS");
  if (grandchild_sleep_ms != L"<unset>") start_grandchild(grandchild_sleep_ms);
  if (variable(L"PROBE_FREE_CONSOLE") != L"<unset>") {
    printf("free_console=%d\n", FreeConsole() ? 1 : 0);
  }
  if (variable(L"PROBE_IGNORE_CTRL") != L"<unset>") SetConsoleCtrlHandler(ignore_event, TRUE);
  std::wstring exit_on_ctrl = variable(L"PROBE_EXIT_ON_CTRL");
  if (exit_on_ctrl != L"<unset>") {
    exit_code_on_interrupt = wcstoul(exit_on_ctrl.c_str(), nullptr, 0);
    SetConsoleCtrlHandler(exit_on_interrupt, TRUE);
  }
  fflush(stdout);
  if (variable(L"PROBE_READ_LINE") != L"<unset>") {
    char line[256] = "";
    if (fgets(line, sizeof line, stdin) == nullptr) line[0] = 0;
    line[strcspn(line, "\r\n")] = 0;
    printf("line=%s\n", line);
    fflush(stdout);
  }
  std::wstring sleep_ms = variable(L"PROBE_SLEEP_MS");
  if (sleep_ms != L"<unset>") {
    Sleep(wcstoul(sleep_ms.c_str(), nullptr, 10));
    printf("slept=%s\n", utf8(sleep_ms.c_str()).c_str());
    fflush(stdout);
  }
  std::wstring exit_code = variable(L"PROBE_EXIT_CODE");
  return exit_code == L"<unset>" ? 0 : static_cast<int>(wcstoul(exit_code.c_str(), nullptr, 0));
}
