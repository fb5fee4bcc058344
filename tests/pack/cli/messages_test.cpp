// What the tool says: command-line mistakes, refusals with their reasons, warnings and
// figures, through the real program.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "paths/placeholder_names.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

size_t lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

TEST(ToolVersion, VersionFlagPrintsTheToolsOwn) {
  ToolResult result = run_pack_tool({"--version"});
  EXPECT_EQ(0, result.exit_code);
  EXPECT_EQ(0u, result.out.rfind("kovran-onefile ", 0)) << result.out;
}

// The help becomes the man page of a package, whose bytes must not depend on the machine
// that built it.
TEST(ToolVersion, HelpShowsNoDefaultOfTheMachinesOwn) {
  ToolResult result = run_pack_tool({"pack", "--help"});
  EXPECT_EQ(0, result.exit_code);
  std::string threads = result.out.substr(result.out.find("--threads"));
  threads = threads.substr(0, threads.find('\n'));
  EXPECT_EQ(std::string::npos,
            threads.find("=" + std::to_string(std::thread::hardware_concurrency())))
      << threads;
}

// The help names every placeholder that a launcher expands, and no other.
TEST(ToolVersion, HelpListsThePlaceholdersTheLauncherExpands) {
  ToolResult result = run_pack_tool({"pack", "--help"});
  std::string help = result.out.substr(result.out.find("--target-dir"));
  help = help.substr(0, help.find("(default"));
  std::string listed;
  for (const PlaceholderName& placeholder : placeholder_names) {
    listed += std::string(listed.empty() ? "" : " ") + "{" + placeholder.name + "}";
  }
  std::string flat;
  for (char c : help) {
    if (c == '\n' || (c == ' ' && !flat.empty() && flat.back() == ' ')) continue;
    flat += c;
  }
  EXPECT_NE(std::string::npos, flat.find("placeholders " + listed + " ")) << flat;
}

TEST(Messages, CommandLineMistakesAreOneLineThatSaysWhatToDo) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"bogus"},
       "'bogus' is not a command; the commands are pack, list, verify, extract and info; "
       "kovran-onefile --help tells what each does"},
      {{"--bogus"}, "unknown option --bogus; start with a command: pack, list"},
      {{}, "no command given; the commands are pack, list"},
      {{"pack", "--bogus"}, "pack: unknown option --bogus; kovran-onefile pack --help lists"},
      {{"pack", "app", "-o", "x.exe", "--bogus"}, "pack: unknown option --bogus"},
      {{"pack", "app"}, "pack: --output is required; kovran-onefile pack --help lists"},
      {{"pack", "-o", "x.exe"}, "pack: give APP_DIR or --payload-block"},
      {{"pack", "app", "-o", "x.exe", "--level", "23"}, "pack: --level: Value 23 not in range"},
      {{"list"}, "list: LAUNCHER is required; kovran-onefile list --help lists"},
      {{"extract", "a.exe", "b", "c"}, "extract: unexpected argument 'c'"},
  };
  for (const auto& [args, expected] : cases) {
    std::string line;
    for (const std::string& arg : args) line += arg + " ";
    SCOPED_TRACE(line);
    ToolResult result = run_pack_tool(args);
    EXPECT_GE(result.exit_code, 100);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(1u, lines(result.err)) << result.err;
    EXPECT_EQ(0u, result.err.rfind("kovran-onefile: error: ", 0)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(expected)) << result.err;
  }
}

TEST(Messages, RefusalsGiveTheirReason) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  write_file(dir / "a-file", "mine");
  fs::path launcher = dir / "app.exe";
  ASSERT_EQ(
      0, run_pack_tool({"pack", "-q", (dir / "app").string(), "-o", launcher.string()}).exit_code);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"info", (dir / "missing.exe").string()}, "missing.exe: no such file"},
      {{"verify", dir.path().string()}, ": a folder, not a launcher"},
      {{"extract", launcher.string(), (dir / "a-file").string()},
       "a-file: a file of that name exists; extract into a new or empty folder"},
      {{"pack", (dir / "app").string(), "-o", (dir / "o.exe").string(), "--target-dir", ""},
       "--target-dir '': empty; give the folder to unpack into"},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(args.front());
    ToolResult result = run_pack_tool(args);
    EXPECT_EQ(1, result.exit_code);
    EXPECT_EQ(1u, lines(result.err)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(expected)) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("spec")) << result.err;
  }
}

// Mistakes a new user made, each answered with what is wrong and with which file.
TEST(Messages, NewUsersMistakesAreNamedPlainly) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  fs::create_directories(dir / "icons.ico");
  fs::path launcher = dir / "app.exe";
  ASSERT_EQ(
      0, run_pack_tool({"pack", "-q", (dir / "app").string(), "-o", launcher.string()}).exit_code);
  std::vector<unsigned char> image = read_file(launcher);
  write_file(dir / "cut.exe", std::string(image.begin(), image.begin() + 5000));
  write_file(dir / "longer.exe", std::string(image.begin(), image.end()) + "x");
  std::vector<std::string> pack = {"pack", "-q", (dir / "app").string(), "-o",
                                   (dir / "o.exe").string()};
  auto with = [&](std::vector<std::string> args, const std::vector<std::string>& extra) {
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {with(pack, {"--icon", (dir / "icons.ico").string()}),
       "icons.ico: cannot read icon: it is a folder, not an .ico file"},
      {{"pack", (dir / "app").string(), "-o", ""},
       "error: the output (-o) needs a file name, not an empty text"},
      {{"verify", (dir / "cut.exe").string()},
       "cut.exe: cut short: a launcher made by kovran-onefile of "},
      {{"verify", (dir / "longer.exe").string()}, ": 1 byte follows the last section"},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(expected);
    expect_refused_in_one_line(run_pack_tool(args), expected);
  }
  // --main as a path that leads into the app folder names the file there.
  for (const std::string& main : {(dir / "app/app.exe").string(), std::string("../app/app.exe")}) {
    SCOPED_TRACE(main);
    ToolResult packed = run_pack_tool(with(pack, {"--main", main}));
    EXPECT_EQ(0, packed.exit_code) << packed.err;
  }
  expect_refused_in_one_line(run_pack_tool(with(pack, {"--main", "../other/app.exe"})),
                             "main executable not found in the app folder");
}

// One file, and a size whose rounding differed between the archive's and the files'
// bytes: every command shows the same figure, in the singular.
TEST(Messages, OneFileAndOneFigureEverywhere) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program() + std::string(55000, 'p'));
  fs::path launcher = dir / "app.exe";
  ToolResult pack = run_pack_tool({"pack", (dir / "app").string(), "-o", launcher.string()});
  ASSERT_EQ(0, pack.exit_code) << pack.err;
  EXPECT_EQ(0u, pack.out.rfind("packed 1 file: 54.0 KiB in, ", 0)) << pack.out;
  ToolResult verify = run_pack_tool({"verify", launcher.string()});
  EXPECT_NE(std::string::npos, verify.out.find(": OK, 1 file, 54.0 KiB, ")) << verify.out;
  ToolResult extract = run_pack_tool({"extract", launcher.string(), (dir / "out").string()});
  EXPECT_EQ(0u, extract.out.rfind("extracted 1 file, 54.0 KiB, ", 0)) << extract.out;
  ToolResult info = run_pack_tool({"info", launcher.string()});
  EXPECT_NE(std::string::npos, info.out.find(", 54.0 KiB in 1 file\n")) << info.out;
}

class PackWarnings : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_ / "app/app.exe", minimal_program());
    write_file(dir_ / "app/bin/tool.exe", minimal_program());
    write_file(dir_ / "app/data/a.txt", "a");
  }
  ToolResult pack(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"pack", "-q", (dir_ / "app").string(), "-o",
                                     (dir_ / "out.exe").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_pack_tool(args);
  }
  TempDir dir_;
};

TEST_F(PackWarnings, ARelativeTargetDirSaysWhereItUnpacks) {
  ToolResult relative = pack({"--target-dir", "unpacked\\{VERSION}"});
  EXPECT_EQ(0, relative.exit_code) << relative.err;
  EXPECT_EQ(
      "kovran-onefile: warning: --target-dir 'unpacked\\{VERSION}' is not a full path: the "
      "launcher unpacks below the folder it is started from, which need not be its own; "
      "start it with {PROGRAM_DIR}\\ to unpack beside the launcher\n",
      relative.err);
  ToolResult full = pack({"--target-dir", "{PROGRAM_DIR}\\unpacked"});
  EXPECT_EQ(0, full.exit_code) << full.err;
  EXPECT_EQ("", full.err);
}

TEST_F(PackWarnings, AnExcludeThatMatchesNothingIsNamed) {
  ToolResult result = pack({"--exclude", "data", "--exclude", "*.pdb", "--exclude", "DATA/*"});
  EXPECT_EQ(0, result.exit_code) << result.err;
  EXPECT_EQ("kovran-onefile: warning: --exclude '*.pdb' matches no file\n", result.err);
}

TEST_F(PackWarnings, ExcludingTheMainProgramSaysSo) {
  ToolResult named = pack({"--main", "bin/tool.exe", "--exclude", "bin"});
  EXPECT_EQ(1, named.exit_code);
  EXPECT_EQ("kovran-onefile: error: " + (dir_ / "app/bin/tool.exe").string() +
                ": the main executable is left out by --exclude 'bin'; change the pattern\n",
            named.err);
  ToolResult only = pack({"--exclude", "*.EXE"});
  EXPECT_EQ(1, only.exit_code);
  EXPECT_EQ("kovran-onefile: error: " + (dir_ / "app/app.exe").string() +
                ": the main executable is left out by --exclude '*.EXE'; change the pattern, or "
                "name the main executable with --main\n",
            only.err);

  // Leaving out a second .exe at the top is what makes the choice possible: no fault.
  write_file(dir_ / "app/setup.exe", minimal_program());
  ToolResult chosen = pack({"--exclude", "setup.exe"});
  EXPECT_EQ(0, chosen.exit_code) << chosen.err;
  EXPECT_EQ("", chosen.err);
  ToolResult everything = pack({"--exclude", "**"});
  EXPECT_EQ(1, everything.exit_code);
  EXPECT_NE(std::string::npos, everything.err.find("--exclude leaves no file to pack"))
      << everything.err;
}

}  // namespace
}  // namespace pack_test
