// The output inside the app folder: the user's files stay byte for byte, and no earlier
// output is packed.
#include <gtest/gtest.h>

#include <map>

#include "tests/pack/archive/block_reader.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::vector<unsigned char>>;

Snapshot snapshot(const fs::path& folder) {
  Snapshot files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), folder).string()] = read_file(entry.path());
    }
  }
  return files;
}

std::vector<std::u16string> names_in(const fs::path& exe) {
  ReadBlock block = read_block(block_in_executable(read_file(exe)));
  EXPECT_EQ("", block.error);
  std::vector<std::u16string> names;
  for (const ReadEntry& entry : block.entries) names.push_back(entry.name);
  return names;
}

class SafeOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_ / "app/main.exe", minimal_program());
    write_file(dir_ / "app/lib/core.dll", "core");
  }
  std::string app() const { return (dir_ / "app").string(); }
  TempDir dir_;
};

TEST_F(SafeOutput, TheUsersOwnProgramIsNeverTheOutput) {
  Snapshot before = snapshot(dir_ / "app");
  ToolResult result = run_pack_tool({"pack", app(), "-o", (dir_ / "app/main.exe").string()});
  EXPECT_EQ(1, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find("main.exe: the output is a file of the app folder"))
      << result.err;
  EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n'));
  EXPECT_EQ(before, snapshot(dir_ / "app"));
}

TEST_F(SafeOutput, PackingIntoTheAppFolderTwiceLeavesTheEarlierOutputOut) {
  Snapshot inputs = snapshot(dir_ / "app");
  fs::path out = dir_ / "app/app.exe";
  ToolResult first = run_pack_tool({"pack", "-q", app(), "-o", out.string()});
  ASSERT_EQ(0, first.exit_code) << first.err;
  std::vector<unsigned char> first_exe = read_file(out);
  // A temporary file that a killed run left behind is no input either.
  write_file(dir_ / "app/.app.exe.kovran-tmp", "left over");
  ToolResult second = run_pack_tool({"pack", app(), "-o", out.string()});
  ASSERT_EQ(0, second.exit_code) << second.err;
  EXPECT_NE(std::string::npos, second.err.find("is a launcher made earlier")) << second.err;

  std::vector<std::u16string> expected = {u"main.exe", u"lib\\core.dll"};
  EXPECT_EQ(expected, names_in(out));
  // Same input, same bytes: the earlier output changed nothing.
  EXPECT_TRUE(first_exe == read_file(out));
  Snapshot after = snapshot(dir_ / "app");
  after.erase("app.exe");
  EXPECT_EQ(inputs, after);
}

TEST_F(SafeOutput, MakesTheOutputFolderAndWarnsOfAMissingExe) {
  fs::path out = dir_ / "dist/new/app";
  ToolResult result = run_pack_tool({"pack", "-q", app(), "-o", out.string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  EXPECT_TRUE(fs::is_regular_file(out));
  EXPECT_NE(std::string::npos, result.err.find("warning: ")) << result.err;
  EXPECT_NE(std::string::npos, result.err.find("does not end in .exe")) << result.err;
}

// A folder per app build: the id follows the content, and only the content.
TEST_F(SafeOutput, EachAppBuildGetsItsOwnFolder) {
  auto spec_of = [](const fs::path& exe) { return constants_in_executable(read_file(exe)).spec; };
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", app(), "-o", (dir_ / "a.exe").string()}).exit_code);
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", app(), "-o", (dir_ / "b.exe").string(), "--level", "1"})
                   .exit_code);
  write_file(dir_ / "app/lib/core.dll", "core, changed");
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", app(), "-o", (dir_ / "c.exe").string()}).exit_code);
  write_file(dir_ / "other/main.exe", minimal_program());
  ASSERT_EQ(
      0, run_pack_tool({"pack", "-q", (dir_ / "other").string(), "-o", (dir_ / "d.exe").string()})
             .exit_code);

  std::u16string a = spec_of(dir_ / "a.exe");
  std::u16string prefix = u"{CACHE_DIR}\\kovran-onefile\\main-";
  ASSERT_EQ(prefix, a.substr(0, prefix.size()));
  EXPECT_EQ(prefix.size() + 12, a.size());
  EXPECT_EQ(std::u16string::npos, a.find_first_not_of(u"0123456789abcdef", prefix.size()));
  EXPECT_EQ(a, spec_of(dir_ / "b.exe"));
  EXPECT_NE(a, spec_of(dir_ / "c.exe"));
  EXPECT_NE(a, spec_of(dir_ / "d.exe"));
}

TEST_F(SafeOutput, TargetDirAndItsOldNameSetTheTemplate) {
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", app(), "-o", (dir_ / "a.exe").string(), "--target-dir",
                              "{TEMP}\\x"})
                   .exit_code);
  ASSERT_EQ(0, run_pack_tool(
                   {"pack", "-q", app(), "-o", (dir_ / "b.exe").string(), "--spec", "{TEMP}\\x"})
                   .exit_code);
  EXPECT_EQ(u"{TEMP}\\x", constants_in_executable(read_file(dir_ / "a.exe")).spec);
  EXPECT_TRUE(read_file(dir_ / "a.exe") == read_file(dir_ / "b.exe"));
}

}  // namespace
}  // namespace pack_test
