// Version and product name taken from the main program's own version resource, here
// the resource of a launcher the tool made, which pefile checks elsewhere.
#include <gtest/gtest.h>

#include "pack/image/version_reader.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

TEST(VersionReader, ReadsFileVersionAndProductName) {
  TempDir dir;
  write_file(dir / "inner/inner.exe", minimal_program());
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", (dir / "inner").string(), "-o",
                              (dir / "app/app.exe").string(), "--app-version", "2.5.0.7",
                              "--product-name", "K\xC3\xA4rnan"})
                   .exit_code);
  std::optional<pack::ProgramVersion> found = pack::read_program_version(dir / "app/app.exe");
  ASSERT_TRUE(found);
  ASSERT_TRUE(found->version);
  EXPECT_EQ((pack::VersionNumber{2, 5, 0, 7}), *found->version);
  EXPECT_EQ(u"K\u00e4rnan", found->product_name);
  EXPECT_FALSE(pack::read_program_version(dir / "inner/inner.exe"));
  write_file(dir / "text.txt", "text");
  EXPECT_FALSE(pack::read_program_version(dir / "text.txt"));
}

TEST(VersionReader, OptionsComeFirstThenTheProgramThenDefaults) {
  TempDir dir;
  write_file(dir / "inner/inner.exe", minimal_program());
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", (dir / "inner").string(), "-o",
                              (dir / "app/app.exe").string(), "--app-version", "2.5.0.7",
                              "--product-name", "Inner Product"})
                   .exit_code);
  auto info_of = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"pack", "-q", (dir / "app").string(), "-o",
                                     (dir / "outer.exe").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(0, run_pack_tool(args).exit_code);
    return pack::read_program_version(dir / "outer.exe");
  };
  std::optional<pack::ProgramVersion> inherited = info_of({});
  ASSERT_TRUE(inherited);
  EXPECT_EQ((pack::VersionNumber{2, 5, 0, 7}), *inherited->version);
  EXPECT_EQ(u"Inner Product", inherited->product_name);
  std::optional<pack::ProgramVersion> given = info_of({"--app-version", "9.0.0.1"});
  EXPECT_EQ((pack::VersionNumber{9, 0, 0, 1}), *given->version);
  EXPECT_EQ(u"Inner Product", given->product_name);

  // A main program without a version resource: the defaults.
  ASSERT_EQ(
      0, run_pack_tool({"pack", "-q", (dir / "inner").string(), "-o", (dir / "plain.exe").string()})
             .exit_code);
  std::optional<pack::ProgramVersion> plain = pack::read_program_version(dir / "plain.exe");
  ASSERT_TRUE(plain);
  EXPECT_EQ((pack::VersionNumber{1, 17, 4, 0}), *plain->version);
  EXPECT_EQ(u"inner", plain->product_name);
}

TEST(ToolVersion, VersionFlagPrintsTheToolsOwn) {
  ToolResult result = run_pack_tool({"--version"});
  EXPECT_EQ(0, result.exit_code);
  EXPECT_EQ(0u, result.out.rfind("kovran-onefile ", 0)) << result.out;
}

}  // namespace
}  // namespace pack_test
