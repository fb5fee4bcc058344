// --exclude patterns: matched on the path below the app folder, "/" between folders.
#include <gtest/gtest.h>

#include "pack/scan/exclude_glob.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

using pack::exclude_matches;

TEST(Exclude, PatternsMatchPathsAndTheFoldersAboveThem) {
  struct Case {
    const char* pattern;
    const char16_t* name;
    bool excluded;
  };
  const Case cases[] = {
      {".git", u".git\\HEAD", true},
      {".git", u".git\\objects\\ab\\cd", true},
      {".git", u"sub\\.git\\HEAD", false},  // relative to the app folder only
      {"**/.git", u"sub\\.git\\HEAD", true},
      {"**/.git", u".git\\HEAD", true},
      {"*.pdb", u"app.pdb", true},
      {"*.pdb", u"lib\\app.pdb", false},  // "*" stays within a name
      {"**/*.pdb", u"lib\\deep\\app.pdb", true},
      {"lib/*.pdb", u"lib\\App.PDB", true},  // letter case as Windows sees it
      {"lib/**", u"lib\\a\\b.dll", true},
      {"lib/**/x.txt", u"lib\\x.txt", true},
      {"lib/**/x.txt", u"lib\\a\\b\\x.txt", true},
      {"lib/**/x.txt", u"lib\\a\\b\\y.txt", false},
      {"dat?.bin", u"data.bin", true},
      {"dat?.bin", u"dat\\.bin", false},  // "?" is never a separator
      {"./logs/", u"logs\\today.log", true},
      {"log", u"logs\\today.log", false},
      {"lib\\a.dll", u"lib\\a.dll", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.excluded, exclude_matches(c.pattern, c.name))
        << c.pattern << " on "
        << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
  }
}

TEST(Exclude, NothingIsLeftOutUnlessAskedAndTheSummaryCounts) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  write_file(dir / "app/.git/HEAD", "ref");
  write_file(dir / "app/.git/objects/aa", "obj");
  write_file(dir / "app/app.pdb", "symbols");
  ToolResult all = run_pack_tool({"pack", (dir / "app").string(), "-o", (dir / "a.exe").string()});
  ASSERT_EQ(0, all.exit_code) << all.err;
  EXPECT_NE(std::string::npos, all.out.find("packed 4 files")) << all.out;
  EXPECT_EQ(std::string::npos, all.out.find("left out")) << all.out;

  ToolResult some = run_pack_tool({"pack", (dir / "app").string(), "-o", (dir / "b.exe").string(),
                                   "--exclude", ".git", "--exclude", "*.pdb"});
  ASSERT_EQ(0, some.exit_code) << some.err;
  EXPECT_NE(std::string::npos, some.out.find("packed 1 file")) << some.out;
  EXPECT_NE(std::string::npos, some.out.find("left out by --exclude: 3 files")) << some.out;

  ToolResult none = run_pack_tool(
      {"pack", (dir / "app").string(), "-o", (dir / "c.exe").string(), "--exclude", "**"});
  EXPECT_EQ(1, none.exit_code);
  EXPECT_NE(std::string::npos, none.err.find("--exclude leaves no file to pack")) << none.err;
}

}  // namespace
}  // namespace pack_test
