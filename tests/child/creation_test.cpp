// A launcher ended right after it created its child takes the child along: the child is in
// the launcher's kill-on-close job from its creation, not only once it has been put there.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/harness/process.h"

namespace {

TEST(ChildCreation, ALauncherEndedRightAfterCreatingItsChildLeavesNoProcess) {
  ProcessOptions options;
  options.timeout_ms = 20000;
  ProcessResult result = run_process(
      quote_argument(this_program_directory() + L"\\run_child_probe_ended_at_creation.exe") + L" " +
          quote_argument(this_program_directory() + L"\\probe_child.exe"),
      options);
  ASSERT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 9u);
  ASSERT_EQ(result.out.rfind("child ", 0), 0u) << result.out;
  DWORD child_id = static_cast<DWORD>(std::stoul(result.out.substr(6)));
  HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child_id);
  if (child == nullptr) return;  // gone already
  bool ended = WaitForSingleObject(child, 5000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(child, 1);
  CloseHandle(child);
  EXPECT_TRUE(ended) << "the suspended child outlived its launcher";
}

}  // namespace
