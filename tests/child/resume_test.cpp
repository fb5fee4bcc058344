// A child whose first thread cannot be let run is ended, and the launch error reported,
// rather than waited for for ever.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

TEST(ChildResume, FailureEndsTheChildAndReportsTheLaunchError) {
  ProcessOptions options;
  options.timeout_ms = 20000;
  ProcessResult result = run_process(
      quote_argument(this_program_directory() + L"\\run_child_probe_failing_resume.exe") + L" " +
          quote_argument(this_program_directory() + L"\\probe_child.exe"),
      options);
  ASSERT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.err.rfind("Error, couldn't launch child ([Error 5] ", 0), 0u) << result.err;
  ASSERT_EQ(result.out.rfind("child ", 0), 0u) << result.out;
  DWORD child_id = static_cast<DWORD>(std::stoul(result.out.substr(6)));
  HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, child_id);
  if (child != nullptr) {
    EXPECT_EQ(WaitForSingleObject(child, 5000), WAIT_OBJECT_0) << "the child lives on";
    CloseHandle(child);
  }
}

}  // namespace
