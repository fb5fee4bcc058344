#pragma once
// The build-folder tests' fixture: launchers of the packed builds started under a moved
// cache folder, in a folder that both Wine and Unix programs see.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace builds_test {

constexpr uint64_t day = 24ull * 60 * 60 * 10000000;

inline std::wstring packed(const std::wstring& name) {
  return this_program_directory() + L"\\builds\\" + name + L".exe";
}

inline uint64_t now() {
  FILETIME time;
  GetSystemTimeAsFileTime(&time);
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A folder that both Wine and Unix programs see, for the links that only the latter make.
struct SharedFolder {
  std::wstring unix_path = L"/tmp/kovran-builds-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                           std::to_wstring(GetTickCount());
  std::wstring path = windows_path(unix_path);
  static std::wstring windows_path(std::wstring unix) {
    std::replace(unix.begin(), unix.end(), L'/', L'\\');
    return L"Z:" + unix;
  }
  SharedFolder() { CreateDirectoryW(path.c_str(), nullptr); }
  ~SharedFolder() { remove_tree(path); }
};

class Builds : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableW(L"KOVRAN_ONEFILE_CACHE_DIR", (shared.path + L"\\cache").c_str());
    CreateDirectoryW((shared.path + L"\\bin").c_str(), nullptr);
  }
  void TearDown() override { SetEnvironmentVariableW(L"KOVRAN_ONEFILE_CACHE_DIR", nullptr); }

  std::wstring root() const { return shared.path + L"\\cache\\kovran-onefile"; }
  std::wstring launcher() const { return shared.path + L"\\bin\\app.exe"; }

  // Puts a build at the launcher's one path, as an update in place does: a running one is
  // moved aside first.
  void install(const std::wstring& build) {
    std::wstring aside = shared.path + L"\\bin\\old-" + std::to_wstring(installs++) + L".exe";
    MoveFileExW(launcher().c_str(), aside.c_str(), 0);
    ASSERT_TRUE(CopyFileW(packed(build).c_str(), launcher().c_str(), FALSE));
  }

  // Starts the launcher with the probe child's variables; what they print goes to a file
  // of the start's own, output().
  HANDLE start(const std::vector<std::pair<std::wstring, std::wstring>>& variables = {},
               const std::wstring& path = L"") {
    for (const auto& [name, value] : variables) {
      SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    std::wstring line = quote_argument(path.empty() ? launcher() : path);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(output(++starts).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    CloseHandle(out);
    for (const auto& [name, value] : variables) SetEnvironmentVariableW(name.c_str(), nullptr);
    EXPECT_TRUE(started);
    if (!started) return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
  }
  std::wstring output(int start) const {
    return shared.path + L"\\bin\\out-" + std::to_wstring(start) + L".txt";
  }
  // Waits until the last start's program runs.
  void wait_for_program() {
    for (int i = 0; i < 400 && read_file(output(starts)).find("\npid=") == std::string::npos; ++i) {
      Sleep(25);
    }
  }
  DWORD finish(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, 60000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return status;
  }
  DWORD run(const std::vector<std::pair<std::wstring, std::wstring>>& variables = {}) {
    return finish(start(variables));
  }
  // Starts the launcher at path (the installed one when empty) while the markers of the
  // builds held are open, as a program of each that still ran would hold it: the start takes
  // none of them over and prunes none, and its own folder is made anew.
  DWORD run_beside(const std::vector<std::wstring>& held, const std::wstring& path = L"",
                   const std::vector<std::pair<std::wstring, std::wstring>>& variables = {}) {
    std::vector<HANDLE> handles;
    for (const auto& folder : held) {
      handles.push_back(CreateFileW(marker(folder).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    }
    DWORD status = finish(start(variables, path));
    for (HANDLE handle : handles) {
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    return status;
  }

  // The build folders (NAME-ID) in the cache, sorted.
  std::vector<std::wstring> folders() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((root() + L"\\main-*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
  }
  // The folder that the last start added.
  std::wstring newest(const std::vector<std::wstring>& before) const {
    for (const auto& name : folders()) {
      if (std::find(before.begin(), before.end(), name) == before.end()) return name;
    }
    return L"";
  }
  std::wstring marker(const std::wstring& folder) const {
    return root() + L"\\" + folder + L".used";
  }
  bool in_use(const std::wstring& folder) const {
    HANDLE exclusive =
        CreateFileW(marker(folder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (exclusive == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(exclusive);
    return false;
  }
  bool exists(const std::wstring& folder) const { return file_exists(root() + L"\\" + folder); }
  void age(const std::wstring& folder, uint64_t days) {
    ASSERT_TRUE(set_write_time(marker(folder), now() - days * day));
  }

  SharedFolder shared;
  int installs = 0;
  int starts = 0;
};

inline std::wstring from_utf16(const std::string& bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

}  // namespace builds_test
