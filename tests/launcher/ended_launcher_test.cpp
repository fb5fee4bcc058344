// A launcher ended from outside (Task Manager, taskkill /F, a parent's time-out) takes
// its child with it, while what the child started keeps running; also when the
// launcher itself runs in a job that lets nothing break away.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

std::wstring packed(const std::wstring& name) {
  return this_program_directory() + L"\\reliability\\" + name;
}

// A launcher whose child starts a grandchild and then sleeps, both for a minute; the
// output goes to a file, read while they run.
struct RunningLauncher {
  TempDir temp;
  HANDLE out = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process = {};

  explicit RunningLauncher(HANDLE job = nullptr) {
    SetEnvironmentVariableW(L"PROBE_SLEEP_MS", L"60000");
    SetEnvironmentVariableW(L"PROBE_GRANDCHILD_SLEEP_MS", L"60000");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    out = CreateFileW(temp.file(L"out.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring line = quote_argument(packed(L"launcher.exe"));
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &process));
    if (job != nullptr) {
      EXPECT_TRUE(AssignProcessToJobObject(job, process.hProcess));
    }
    ResumeThread(process.hThread);
    SetEnvironmentVariableW(L"PROBE_SLEEP_MS", nullptr);
    SetEnvironmentVariableW(L"PROBE_GRANDCHILD_SLEEP_MS", nullptr);
  }
  ~RunningLauncher() {
    TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(out);
  }
  // The value the probe child printed for key, once it has printed it.
  DWORD reported(const std::string& key) {
    for (int i = 0; i < 2000; ++i) {
      std::string text = read_file(temp.file(L"out.txt"));
      size_t at = text.find("\n" + key + "=");
      if (at != std::string::npos && text.find('\n', at + 1) != std::string::npos) {
        return strtoul(text.c_str() + at + key.size() + 2, nullptr, 10);
      }
      Sleep(10);
    }
    ADD_FAILURE() << "no " << key << " in " << read_file(temp.file(L"out.txt"));
    return 0;
  }
};

// A process by its ID, ended at the end of the test if it still runs.
struct Watched {
  HANDLE handle;
  explicit Watched(DWORD id)
      : handle(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                           FALSE, id)) {}
  ~Watched() {
    if (handle == nullptr) return;
    TerminateProcess(handle, 99);
    CloseHandle(handle);
  }
  bool ends_within(DWORD ms) { return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
  bool running() { return WaitForSingleObject(handle, 0) == static_cast<DWORD>(WAIT_TIMEOUT); }
};

void expect_child_ends_and_grandchild_stays(RunningLauncher& launcher) {
  Watched child(launcher.reported("pid"));
  Watched grandchild(launcher.reported("grandchild"));
  ASSERT_NE(child.handle, nullptr);
  ASSERT_NE(grandchild.handle, nullptr);
  ASSERT_TRUE(child.running());
  ASSERT_TRUE(TerminateProcess(launcher.process.hProcess, 1));
  EXPECT_TRUE(child.ends_within(3000)) << "the child outlived its launcher";
  EXPECT_TRUE(grandchild.running()) << "the grandchild was ended with the child";
}

TEST(EndedLauncher, ChildEndsWithItAndGrandchildKeepsRunning) {
  RunningLauncher launcher;
  expect_child_ends_and_grandchild_stays(launcher);
}

// As under a build service or a parent that keeps its processes in a job of its own:
// the child's job nests within it.
TEST(EndedLauncher, SameInsideAJobThatAllowsNoBreakaway) {
  HANDLE outer = CreateJobObjectW(nullptr, nullptr);
  ASSERT_NE(outer, nullptr);
  {
    RunningLauncher launcher(outer);
    expect_child_ends_and_grandchild_stays(launcher);
  }
  CloseHandle(outer);
}

}  // namespace
