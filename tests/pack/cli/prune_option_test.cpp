// --prune-after: days or never, kept in the launcher's record for the default target
// directory only, told by info; anything else refused before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "support/constants_record.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/inspect/handmade_block.h"
#include "tests/pack/inspect/image_bytes.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

uint32_t prune_days_of(const fs::path& exe) {
  Image image = read_file(exe);
  return get32(image,
               constants_in_executable(image).offset + offsetof(ConstantsRecord, prune_after_days));
}

TEST(PruneOption, DaysOrNeverReachTheRecordAndInfo) {
  struct Case {
    std::vector<std::string> options;
    uint32_t days;
    const char* told;
  };
  const Case cases[] = {
      {{}, 7, "other unused builds 7 days after their last start, but the most recent"},
      {{"--prune-after", "0"}, 0, "other unused builds 0 days after"},
      {{"--prune-after", "1"}, 1, "other unused builds 1 day after"},
      {{"--prune-after", "36500"}, 36500, "other unused builds 36500 days"},
      {{"--prune-after", "never"}, prune_never, "never"},
      // Only the default layout gives each build a folder of its own beside the others.
      {{"--target-dir", "{CACHE_DIR}\\\\mine"}, prune_never, "never"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.told);
    TempDir dir;
    write_file(dir / "app/app.exe", minimal_program(3));
    std::vector<std::string> args = {
        "pack", (dir / "app").string(), "-o", (dir / "app.exe").string(), "--level", "1"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ToolResult packed = run_pack_tool(args);
    ASSERT_EQ(0, packed.exit_code) << packed.err;
    EXPECT_EQ(c.days, prune_days_of(dir / "app.exe"));
    ToolResult info = run_pack_tool({"info", (dir / "app.exe").string()});
    EXPECT_NE(std::string::npos, info.out.find("\nremoves:          " + std::string(c.told)))
        << info.out;
    EXPECT_EQ(0, run_pack_tool({"verify", (dir / "app.exe").string()}).exit_code);
  }
}

TEST(PruneOption, OtherValuesAreRefusedAndATargetDirIsWarnedOf) {
  for (const char* bad : {"soon", "-1", "36501", "7d", ""}) {
    SCOPED_TRACE(bad);
    TempDir dir;
    write_file(dir / "app/app.exe", minimal_program(3));
    // A value the command line cannot have, as --level 40 is: which --help to read.
    ToolResult refused = run_pack_tool(
        {"pack", (dir / "app").string(), "-o", (dir / "app.exe").string(), "--prune-after", bad});
    EXPECT_GE(refused.exit_code, 100);
    EXPECT_NE(std::string::npos, refused.err.find("pack: --prune-after")) << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("kovran-onefile pack --help")) << refused.err;
    EXPECT_EQ(1, std::count(refused.err.begin(), refused.err.end(), '\n')) << refused.err;
    EXPECT_FALSE(fs::exists(dir / "app.exe"));
  }
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program(3));
  ToolResult warned =
      run_pack_tool({"pack", (dir / "app").string(), "-o", (dir / "app.exe").string(),
                     "--target-dir", "{CACHE_DIR}\\mine", "--prune-after", "3"});
  ASSERT_EQ(0, warned.exit_code) << warned.err;
  EXPECT_NE(std::string::npos, warned.err.find("--prune-after has no effect with --target-dir"))
      << warned.err;
}

}  // namespace
}  // namespace pack_test
