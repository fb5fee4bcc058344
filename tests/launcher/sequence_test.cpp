#include <gtest/gtest.h>

#include <string>

#include "tests/launcher/probe.h"

namespace {

TEST(PrepareEnvironment, DropsStaleHandOffValuesAndNamesThisProcessAsParent) {
  ProcessOptions options;
  options.environment = {L"KOVRAN_ONEFILE_START=132000000000000000",
                         L"KOVRAN_ONEFILE_TIME_US=123456", L"KOVRAN_ONEFILE_RANDOM=AAAAAAAAAAA",
                         L"KOVRAN_ONEFILE_PARENT=99999"};
  ProcessResult result = run_probe(L"prepare-environment", L"", options);
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  std::string pid = result.out.substr(4, result.out.find('\n') - 4);
  EXPECT_EQ(result.out, "pid=" + pid +
                            "\nKOVRAN_ONEFILE_START=<unset>\nKOVRAN_ONEFILE_TIME_US=<unset>\n"
                            "KOVRAN_ONEFILE_RANDOM=<unset>\nKOVRAN_ONEFILE_PARENT=" +
                            pid + "\nreturned\n");
}

}  // namespace
