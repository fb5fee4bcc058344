// The launcher's subsystem: the main program's own, or --subsystem's; told in the
// summary and by info; other subsystems refused before anything is written. (pefile
// reads the field in image/pe_structure.py.)
#include <gtest/gtest.h>

#include "pack/image/pe_headers.h"
#include "tests/pack/inspect/handmade_block.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t gui = 2, console = 3;

ToolResult pack_app(const TempDir& dir, uint16_t main_subsystem,
                    const std::vector<std::string>& extra = {}) {
  write_file(dir / "app/app.exe", minimal_program(main_subsystem));
  std::vector<std::string> args = {
      "pack", (dir / "app").string(), "-o", (dir / "out/app.exe").string(), "--level", "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  return run_pack_tool(args);
}

void expect_refused_in_one_line(const ToolResult& result, const std::string& expected,
                                const fs::path& out_dir) {
  pack_test::expect_refused_in_one_line(result, expected);
  EXPECT_FALSE(fs::exists(out_dir)) << "output folder made";
}

TEST(Subsystem, SummaryAndInfoTellWhichAndWhy) {
  TempDir dir;
  ToolResult packed = pack_app(dir, console);
  ASSERT_EQ(0, packed.exit_code) << packed.err;
  EXPECT_NE(std::string::npos, packed.out.find("\n  subsystem: console, as the main executable\n"))
      << packed.out;
  ToolResult info = run_pack_tool({"info", (dir / "out/app.exe").string()});
  EXPECT_NE(std::string::npos, info.out.find("\nsubsystem:        console (3)\n")) << info.out;

  packed = pack_app(dir, console, {"--subsystem", "gui"});
  ASSERT_EQ(0, packed.exit_code) << packed.err;
  EXPECT_NE(std::string::npos, packed.out.find("\n  subsystem: GUI, chosen by --subsystem\n"))
      << packed.out;
  info = run_pack_tool({"info", (dir / "out/app.exe").string()});
  EXPECT_NE(std::string::npos, info.out.find("\nsubsystem:        GUI (2)\n")) << info.out;
}

// The launcher's code is one for both: a console and a GUI launcher of the same input
// differ in the Subsystem field and in the checksum and digests over it, nowhere else.
TEST(Subsystem, OnlyTheHeaderFieldAndTheChecksumDiffer) {
  TempDir dir;
  ASSERT_EQ(0, pack_app(dir, console, {"-q", "--subsystem", "gui"}).exit_code);
  std::vector<unsigned char> as_gui = read_file(dir / "out/app.exe");
  ASSERT_EQ(0, pack_app(dir, console, {"-q"}).exit_code);
  std::vector<unsigned char> as_console = read_file(dir / "out/app.exe");
  ASSERT_EQ(as_gui.size(), as_console.size());

  pack::PeHeaders headers = pack::read_pe_headers(as_gui.data(), as_gui.size(), as_gui.size());
  size_t subsystem_at = headers.optional_offset + pack::pe_field::subsystem;
  size_t checksum_at = headers.optional_offset + pack::pe_field::checksum;
  EXPECT_EQ(gui, headers.subsystem);
  EXPECT_EQ(console, pack::get_le(&as_console[subsystem_at], 2));
  size_t digests_at = headers.size_of_headers - 2 * 32;
  for (size_t i = 0; i < as_gui.size(); ++i) {
    bool header_field = (i >= subsystem_at && i < subsystem_at + 2) ||
                        (i >= checksum_at && i < checksum_at + 4) ||
                        (i >= digests_at && i < headers.size_of_headers);
    if (!header_field) {
      ASSERT_EQ(as_gui[i], as_console[i]) << "at " << i;
    }
  }
}

TEST(Subsystem, MainsOfOtherSubsystemsAreRefusedUnlessChosenFor) {
  const std::pair<uint16_t, std::string> refused[] = {
      {1, "subsystem is 1 (native)"},
      {10, "subsystem is 10 (EFI application)"},
      {0, "subsystem is 0 (unknown)"},
  };
  for (const auto& [subsystem, expected] : refused) {
    SCOPED_TRACE(expected);
    TempDir dir;
    expect_refused_in_one_line(pack_app(dir, subsystem), expected, dir / "out");
  }
  // A header that ends before the field names no subsystem either.
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program().substr(0, 88 + 60));
  expect_refused_in_one_line(
      run_pack_tool({"pack", (dir / "app").string(), "-o", (dir / "out/app.exe").string()}),
      "app.exe: the main executable's subsystem is 0 (unknown); a launcher starts console (3) "
      "and GUI (2) programs only",
      dir / "out");

  TempDir chosen;
  EXPECT_EQ(0, pack_app(chosen, 1, {"-q", "--subsystem", "console"}).exit_code);
}

TEST(Subsystem, ABlocksMainIsReadAndRefusedLikeAFoldersOne) {
  TempDir dir;
  write_file(dir / "native.block", handmade_block({{u"main.exe", minimal_program(1)}}));
  expect_refused_in_one_line(
      run_pack_tool({"pack", "--payload-block", (dir / "native.block").string(), "-o",
                     (dir / "out/app.exe").string()}),
      "native.block: entry 'main.exe': the main executable's subsystem is 1", dir / "out");
  // An empty block has no main to read: a GUI launcher, as before.
  write_file(dir / "empty.block", handmade_block({}));
  ToolResult empty = run_pack_tool(
      {"pack", "--payload-block", (dir / "empty.block").string(), "-o", (dir / "e.exe").string()});
  ASSERT_EQ(0, empty.exit_code) << empty.err;
  EXPECT_NE(std::string::npos, empty.out.find("subsystem: GUI, no main executable read"));
}

TEST(Subsystem, OtherOptionValuesAreCommandLineMistakes) {
  TempDir dir;
  ToolResult result = pack_app(dir, console, {"--subsystem", "windows"});
  EXPECT_GE(result.exit_code, 100);
  EXPECT_NE(std::string::npos, result.err.find("--subsystem")) << result.err;
  EXPECT_FALSE(fs::exists(dir / "out"));
}

}  // namespace
}  // namespace pack_test
