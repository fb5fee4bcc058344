// Bad input through the real program: one line naming the problem, a non-zero exit,
// and the output folder exactly as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

struct BadCase {
  const char* title;
  std::function<void(const fs::path& app)> make;  // app has app.exe already
  std::vector<std::string> extra_args;
  std::string expected;  // part of the message
};

void expect_refused(const ToolResult& result, const std::string& expected) {
  EXPECT_NE(0, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find(expected)) << result.err;
  EXPECT_EQ(0, std::count(result.err.begin(), result.err.end(), '\n') - 1) << result.err;
  EXPECT_EQ("", result.out);
}

// The output folder holds only what it held before: no output, no work files.
void expect_untouched(const fs::path& out_dir, const std::vector<std::string>& before) {
  EXPECT_EQ(before, list_files(out_dir));
}

std::string long_name() {
  std::string path;
  for (int i = 0; i < 6; ++i) path += std::string(200, static_cast<char>('a' + i)) + "/";
  return path + "file.txt";  // 6 * 201 + 8 units
}

TEST(BadInput, EachIsRefusedWithOneLineAndNoOutput) {
  const BadCase cases[] = {
      {"reserved name",
       [](const fs::path& a) { write_file(a / "lib/nul.txt", ""); },
       {},
       "lib/nul.txt: name is a reserved device name"},
      {"trailing dot",
       [](const fs::path& a) { write_file(a / "data.", "x"); },
       {},
       "data.: name ends with a dot"},
      {"trailing space",
       [](const fs::path& a) { write_file(a / "dir /x", "x"); },
       {},
       "dir : name ends with a dot or a space"},
      {"forbidden char",
       [](const fs::path& a) { write_file(a / "a?b", "x"); },
       {},
       "a?b: name holds '?'"},
      {"control char",
       [](const fs::path& a) { write_file(a / "a\tb", "x"); },
       {},
       "control character"},
      {"backslash", [](const fs::path& a) { write_file(a / "a\\b", "x"); }, {}, "name holds '\\'"},
      {"not utf-8",
       [](const fs::path& a) { write_file(a / "bad\xFF.txt", "x"); },
       {},
       "not valid UTF-8"},
      {"same name but case",
       [](const fs::path& a) {
         write_file(a / "Lib/a.dll", "1");
         write_file(a / "lib/A.DLL", "2");
       },
       {},
       "when letter case is ignored"},
      {"file and folder",
       [](const fs::path& a) {
         write_file(a / "data", "1");
         write_file(a / "DATA/x", "2");
       },
       {},
       "clash with the folder"},
      {"long name",
       [](const fs::path& a) { write_file(a / ("zz/" + long_name()), "x"); },
       {},
       "more than the 1023"},
      {"folder loop",
       [](const fs::path& a) {
         fs::create_directories(a / "d");
         fs::create_directory_symlink("..", a / "d/up");
       },
       {},
       "symbolic link loop"},
      {"self link",
       [](const fs::path& a) { fs::create_symlink("self", a / "self"); },
       {},
       "self: symbolic link loop"},
      {"dangling link",
       [](const fs::path& a) { fs::create_symlink("gone", a / "link"); },
       {},
       "link: symbolic link to nothing"},
      {"fifo",
       [](const fs::path& a) { mkfifo((a / "pipe").c_str(), 0600); },
       {},
       "pipe: not a regular file"},
      {"second exe",
       [](const fs::path& a) { write_file(a / "other.EXE", "x"); },
       {},
       "several .exe files at the top (app.exe, other.EXE); choose the main executable with "
       "--main"},
      {"main missing",
       [](const fs::path&) {},
       {"--main", "bin/tool.exe"},
       "bin/tool.exe: main executable not found"},
      {"version",
       [](const fs::path&) {},
       {"--app-version", "1.2.3"},
       "--app-version '1.2.3': expected A.B.C.D"},
      {"version range",
       [](const fs::path&) {},
       {"--app-version", "1.2.3.70000"},
       "expected A.B.C.D"},
      {"spec placeholder",
       [](const fs::path&) {},
       {"--spec", "{TEMP}\\{Nope}"},
       "unknown placeholder {Nope}"},
      {"spec empty name", [](const fs::path&) {}, {"--spec", "x{}"}, "unknown placeholder {}"},
      {"spec open", [](const fs::path&) {}, {"--spec", "{PROGRAM_DIR"}, "is not closed"},
      {"spec longer than the launcher holds",
       [](const fs::path&) {},
       {"--spec", "{TEMP}\\" + std::string(1017, 'a')},
       "--target-dir is 1024 UTF-16 units long; a launcher holds at most 1023"},
      {"icon",
       [](const fs::path& a) { write_file(a / "../icon.ico", "not an icon"); },
       {"--icon", "ICON"},
       "icon.ico: not a valid .ico file"},
  };
  for (const BadCase& bad : cases) {
    SCOPED_TRACE(bad.title);
    TempDir dir;
    fs::path app = dir / "app";
    write_file(app / "app.exe", minimal_program());
    bad.make(app);
    fs::path out_dir = dir / "out";
    fs::create_directories(out_dir);
    write_file(out_dir / "app.exe", "previous build");
    std::vector<std::string> before = list_files(out_dir);
    std::vector<std::string> args = {"pack", app.string(), "-o", (out_dir / "app.exe").string()};
    for (const std::string& arg : bad.extra_args) {
      args.push_back(arg == "ICON" ? (dir / "icon.ico").string() : arg);
    }
    expect_refused(run_pack_tool(args), bad.expected);
    expect_untouched(out_dir, before);
    std::vector<unsigned char> kept = read_file(out_dir / "app.exe");
    EXPECT_EQ("previous build", std::string(kept.begin(), kept.end()));
  }
}

TEST(BadInput, FoldersThatCannotBePacked) {
  TempDir dir;
  fs::create_directories(dir / "empty/sub");
  write_file(dir / "noexe/readme.txt", "x");
  write_file(dir / "file", "x");
  const std::pair<std::string, std::string> cases[] = {
      {"missing", "missing: app folder not found"},
      {"empty", "empty: app folder holds no files"},
      {"noexe", "no .exe at the top of the app folder; name the main executable with --main"},
      {"file", "file: not a folder"},
  };
  for (const auto& [folder, expected] : cases) {
    SCOPED_TRACE(folder);
    expect_refused(run_pack_tool({"pack", (dir / folder).string(), "-o", (dir / "o.exe").string()}),
                   expected);
    EXPECT_FALSE(fs::exists(dir / "o.exe"));
  }
  // The output's folder is only made once the inputs are found good.
  expect_refused(
      run_pack_tool({"pack", (dir / "noexe").string(), "-o", (dir / "nowhere/o.exe").string()}),
      "no .exe at the top");
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

TEST(BadInput, UnreadableFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  write_file(dir / "app/secret.dat", "x");
  fs::permissions(dir / "app/secret.dat", fs::perms::none);
  expect_refused(run_pack_tool({"pack", (dir / "app").string(), "-o", (dir / "o.exe").string()}),
                 "secret.dat: cannot read");
  EXPECT_FALSE(fs::exists(dir / "o.exe"));
}

// The longest spec the launcher's record holds is accepted.
TEST(BadInput, SpecOfTheRecordsCapacityIsAccepted) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  ToolResult result =
      run_pack_tool({"pack", "-q", (dir / "app").string(), "-o", (dir / "o.exe").string(), "--spec",
                     "{TEMP}\\" + std::string(1016, 'a')});
  EXPECT_EQ(0, result.exit_code) << result.err;
}

// A block past what a PE image can address is refused before anything is written. The
// file is sparse, so the test needs no disk space.
TEST(BadInput, PayloadBeyondTheImageLimit) {
  TempDir dir;
  fs::path block = dir / "huge.block";
  write_file(block, "QVJ");
  fs::resize_file(block, 0xFFFFF000u);
  fs::create_directories(dir / "out");
  ToolResult result = run_pack_tool(
      {"pack", "--payload-block", block.string(), "-o", (dir / "out/app.exe").string()});
  expect_refused(result, "the most a Windows executable can address");
  EXPECT_TRUE(list_files(dir / "out").empty());
}

TEST(BadInput, CommandLineMistakes) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  std::string app = (dir / "app").string();
  EXPECT_NE(0, run_pack_tool({"pack", app}).exit_code);  // no --output
  EXPECT_NE(0, run_pack_tool({"pack", "-o", "x.exe"}).exit_code);
  EXPECT_NE(0, run_pack_tool({"pack", app, "--payload-block", app, "-o", "x.exe"}).exit_code);
  EXPECT_NE(0, run_pack_tool({"pack", app, "-o", "x.exe", "--level", "23"}).exit_code);
  EXPECT_NE(0, run_pack_tool({"pack", app, "-o", "x.exe", "--threads", "0"}).exit_code);
  EXPECT_NE(0, run_pack_tool({}).exit_code);
  expect_refused(run_pack_tool({"pack", "--payload-block", (dir / "none").string(), "-o",
                                (dir / "o.exe").string()}),
                 "none: payload block not found, or not a file");
  EXPECT_EQ(2u, list_files(dir.path()).size());  // app and app/app.exe
}

}  // namespace
}  // namespace pack_test
