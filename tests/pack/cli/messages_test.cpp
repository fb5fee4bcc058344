// What the tool says: command-line mistakes, warnings and figures, through the real
// program.
#include <gtest/gtest.h>

#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

TEST(ToolVersion, VersionFlagPrintsTheToolsOwn) {
  ToolResult result = run_pack_tool({"--version"});
  EXPECT_EQ(0, result.exit_code);
  EXPECT_EQ(0u, result.out.rfind("kovran-onefile ", 0)) << result.out;
}

}  // namespace
}  // namespace pack_test
