// list, verify, extract and info over launchers the tool made, checked against the
// source folder and the tests' own CRC-32.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "tests/harness/zero_crc.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/inspect/handmade_block.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

class Inspect : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = {{"main.exe", minimal_program()},
              {"readme.txt", "read me\n"},
              {"empty.dat", ""},
              {"lib/core.dll", std::string(200000, 'c') + "end"},
              {"lib/deep/x y.txt", "spaces"}};
    for (const auto& [name, data] : files_) write_file(dir_ / ("app/" + name), data);
    exe_ = dir_ / "out/app.exe";
    ToolResult result = run_pack_tool({"pack", "-q", (dir_ / "app").string(), "-o", exe_.string(),
                                       "--app-version", "3.1.4.1", "--level", "3"});
    ASSERT_EQ(0, result.exit_code) << result.err;
  }

  // A copy of the launcher with one byte of its payload flipped.
  fs::path damaged_copy(uint64_t into_payload) {
    std::vector<unsigned char> image = read_file(exe_);
    std::vector<unsigned char> block = block_in_executable(image);
    auto at = std::search(image.begin(), image.end(), block.begin(), block.end());
    at[static_cast<long>(into_payload)] ^= 0x40;
    fs::path copy = dir_ / "damaged.exe";
    write_file(copy, std::string(image.begin(), image.end()));
    return copy;
  }

  std::map<std::string, std::string> files_;
  fs::path exe_;
  TempDir dir_;
};

TEST_F(Inspect, ListMatchesTheFolder) {
  ToolResult result = run_pack_tool({"list", exe_.string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  std::istringstream lines(result.out);
  std::map<std::string, std::string> listed;
  std::string first;
  for (std::string line; std::getline(lines, line);) {
    unsigned crc = 0;
    unsigned long long size = 0;
    char name[256] = {};
    ASSERT_EQ(3, std::sscanf(line.c_str(), "%8x %llu %255[^\n]", &crc, &size, name)) << line;
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (first.empty()) first = path;
    const std::string& data = files_.at(path);
    EXPECT_EQ(data.size(), size) << path;
    EXPECT_EQ(reference_crc32(data.data(), data.size()), crc) << path;
    listed[path] = data;
  }
  EXPECT_EQ(files_, listed);
  EXPECT_EQ("main.exe", first);
}

TEST_F(Inspect, ExtractGivesBackTheFolder) {
  fs::path into = dir_ / "extracted";
  ToolResult result = run_pack_tool({"extract", exe_.string(), into.string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  for (const auto& [name, data] : files_) {
    std::vector<unsigned char> got = read_file(into / name);
    EXPECT_EQ(data, std::string(got.begin(), got.end())) << name;
  }
  EXPECT_EQ(list_files(dir_ / "app").size(), list_files(into).size());
  // Never over files already there.
  ToolResult again = run_pack_tool({"extract", exe_.string(), into.string()});
  EXPECT_EQ(1, again.exit_code);
  EXPECT_NE(std::string::npos, again.err.find("already exists")) << again.err;
}

TEST_F(Inspect, VerifyPassesIntactAndNamesTheFault) {
  ToolResult intact = run_pack_tool({"verify", exe_.string()});
  EXPECT_EQ(0, intact.exit_code) << intact.err;
  EXPECT_NE(std::string::npos, intact.out.find("OK, 5 files")) << intact.out;

  // Bytes in the frame's middle, and in its header.
  for (uint64_t offset : {uint64_t{60}, uint64_t{4}}) {
    SCOPED_TRACE(offset);
    ToolResult damaged = run_pack_tool({"verify", damaged_copy(offset).string()});
    EXPECT_EQ(1, damaged.exit_code);
    EXPECT_EQ(1, std::count(damaged.err.begin(), damaged.err.end(), '\n')) << damaged.err;
    bool named = damaged.err.find("frame") != std::string::npos ||
                 damaged.err.find("main.exe:") != std::string::npos ||
                 damaged.err.find("readme.txt:") != std::string::npos ||
                 damaged.err.find("lib\\") != std::string::npos;
    EXPECT_TRUE(named) << damaged.err;
  }
}

// The launcher never reads the trailer; verify checks it all the same.
TEST_F(Inspect, VerifyChecksTheBlocksTrailer) {
  uint64_t block_size = block_in_executable(read_file(exe_)).size();
  ToolResult damaged = run_pack_tool({"verify", damaged_copy(block_size - 2).string()});
  EXPECT_EQ(1, damaged.exit_code);
  EXPECT_NE(std::string::npos, damaged.err.find("the trailer does not hold")) << damaged.err;
}

TEST_F(Inspect, InfoTellsTemplateVersionAndFrame) {
  ToolResult result = run_pack_tool({"info", exe_.string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  std::u16string spec = constants_in_executable(read_file(exe_)).spec;
  EXPECT_NE(std::string::npos,
            result.out.find("target directory: {CACHE_DIR}\\kovran-onefile\\main-"))
      << result.out;
  EXPECT_NE(std::string::npos, result.out.find("app version:      3.1.4.1")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("in 5 files")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find(", content checksum")) << result.out;
}

// Stored 1 for data whose CRC-32 is 0, and 0 from a writer that stored none, are taken as
// the launcher takes them; any other stored value must match the data.
TEST(InspectStoredChecksums, OneForACrcOfZeroAndZeroForNoneAreTakenAsTheLauncherTakesThem) {
  TempDir dir;
  write_file(dir / "taken.block", handmade_block({{u"main.exe", minimal_program()},
                                                  {u"zero.bin", ::bytes_with_zero_crc(100), 1u},
                                                  {u"none.bin", "stored without a checksum", 0u}}));
  fs::path exe = dir / "taken.exe";
  ToolResult packed = run_pack_tool(
      {"pack", "-q", "--payload-block", (dir / "taken.block").string(), "-o", exe.string()});
  ASSERT_EQ(0, packed.exit_code) << packed.err;
  ToolResult verified = run_pack_tool({"verify", exe.string()});
  EXPECT_EQ(0, verified.exit_code) << verified.err;
  EXPECT_NE(std::string::npos, verified.out.find("OK, 3 files")) << verified.out;
  EXPECT_NE(std::string::npos, verified.out.find("1 of them stored without a CRC-32"))
      << verified.out;

  write_file(dir / "wrong.block", handmade_block({{u"main.exe", minimal_program()},
                                                  {u"one.bin", "data whose CRC-32 is not 0", 1u}}));
  ToolResult refused =
      run_pack_tool({"pack", "-q", "--payload-block", (dir / "wrong.block").string(), "-o",
                     (dir / "wrong.exe").string()});
  EXPECT_EQ(1, refused.exit_code);
  EXPECT_NE(std::string::npos, refused.err.find("one.bin: data has CRC-32")) << refused.err;
}

TEST(InspectBadInput, NotALauncherIsRefusedInOneLine) {
  TempDir dir;
  write_file(dir / "plain.exe", minimal_program());
  write_file(dir / "text.txt", "hello");
  for (const char* name : {"plain.exe", "text.txt", "missing.exe"}) {
    for (const char* command : {"list", "verify", "info"}) {
      ToolResult result = run_pack_tool({command, (dir / name).string()});
      EXPECT_EQ(1, result.exit_code) << command << " " << name;
      EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    }
  }
}

// A launcher made from a block with names that leave the folder: extract refuses each,
// and nothing lands outside.
TEST(InspectBadInput, ExtractRefusesUnsafeNames) {
  const std::u16string names[] = {u"..\\evil.txt", u"a\\..\\..\\evil.txt", u"\\evil.txt",
                                  u"C:\\evil.txt", u"a/../../evil.txt",    u"a\\\\b",
                                  u"con.txt",      u"a\x01.txt",           u"."};
  for (const std::u16string& name : names) {
    TempDir dir;
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    write_file(dir / "bad.block", handmade_block({{u"main.exe", "m"}, {name, "evil"}}));
    fs::path exe = dir / "bad.exe";
    ASSERT_EQ(0, run_pack_tool({"pack", "-q", "--unchecked-block", "--payload-block",
                                (dir / "bad.block").string(), "-o", exe.string()})
                     .exit_code);
    fs::path into = dir / "a/b/into";
    ToolResult result = run_pack_tool({"extract", exe.string(), into.string()});
    EXPECT_EQ(1, result.exit_code);
    EXPECT_NE(std::string::npos, result.err.find("unsafe entry name")) << result.err;
    std::vector<std::string> left = list_files(dir.path());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {"a",         "a/b",    "a/b/into", "a/b/into/main.exe",
                                         "bad.block", "bad.exe"};
    EXPECT_EQ(expected, left);
  }
}

}  // namespace
}  // namespace pack_test
