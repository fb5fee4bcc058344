// Launchers under the stamp rule: the entry index beside the payload, its stamp, what
// info, list and verify make of them; and launchers under the CRC-32 rule as before.
#include <gtest/gtest.h>

#include <cstddef>
#include <ctime>
#include <map>

#include <zlib.h>

#include "payload/entry_index_layout.h"
#include "support/constants_record.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/inspect/image_bytes.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t ticks_per_second = 10000000;
constexpr uint64_t filetime_1981 = 119916288000000000ULL;
constexpr uint64_t filetime_1999 = 125596224000000000ULL;

// A FILETIME as info shows it, by the C library's own calendar.
std::string utc_text(uint64_t filetime) {
  time_t seconds = static_cast<time_t>(filetime / ticks_per_second) - 11644473600;
  struct tm parts;
  gmtime_r(&seconds, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

uint64_t stamp_of(const Image& exe) {
  size_t record = constants_in_executable(exe).offset;
  return get32(exe, record + offsetof(ConstantsRecord, stamp)) |
         uint64_t{get32(exe, record + offsetof(ConstantsRecord, stamp) + 4)} << 32;
}

Image index_of(const Image& exe) {
  size_t at = section_data(exe, ".kvindex");
  return Image(exe.begin() + static_cast<ptrdiff_t>(at),
               exe.begin() + static_cast<ptrdiff_t>(at + section_size(exe, ".kvindex")));
}

// Gives a changed index the checksum of its own that the pack tool would have written.
void reseal_index(Image& exe) {
  size_t at = section_data(exe, ".kvindex");
  size_t size = section_size(exe, ".kvindex");
  put32(exe, at + index_own_checksum_offset, 0);
  uint32_t crc = static_cast<uint32_t>(crc32_z(0, &exe[at], size));
  put32(exe, at + index_own_checksum_offset, crc != 0 ? crc : 1);
}

class ReuseStamp : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, data] : files_) write_file(dir_ / ("app/" + name), data);
    exe_ = dir_ / "stamp.exe";
    ToolResult result = pack({"--reuse", "stamp", "-o", exe_.string()});
    ASSERT_EQ(0, result.exit_code) << result.err;
    summary_ = result.out;
  }

  ToolResult pack(std::vector<std::string> args) {
    args.insert(args.begin(), {"pack", (dir_ / "app").string(), "--level", "3"});
    return run_pack_tool(args);
  }

  // A copy of the launcher with change made to its bytes.
  fs::path changed(const std::string& name, void (*change)(Image&)) {
    Image image = read_file(exe_);
    change(image);
    fs::path copy = dir_ / name;
    write_file(copy, image);
    return copy;
  }

  std::map<std::string, std::string> files_ = {{"main.exe", minimal_program()},
                                               {"Readme.txt", "read me\n"},
                                               {"b.txt", "b"},
                                               {"lib/core.dll", std::string(70000, 'c')},
                                               {"lib/Alpha.dat", "alpha"},
                                               {"lib/deep/x y.txt", "spaces"}};
  TempDir dir_;
  fs::path exe_;
  std::string summary_;
};

TEST_F(ReuseStamp, InfoListAndTheSummaryShowTheRuleAndItsStamp) {
  uint64_t stamp = stamp_of(read_file(exe_));
  EXPECT_GE(stamp, filetime_1981);
  EXPECT_LT(stamp, filetime_1999);
  EXPECT_EQ(0u, stamp % (2 * ticks_per_second));
  std::string rule = "stamp, files kept by size and last-write time " + utc_text(stamp);
  EXPECT_NE(std::string::npos, summary_.find("\n  reuse: " + rule + "\n")) << summary_;
  ToolResult info = run_pack_tool({"info", exe_.string()});
  ASSERT_EQ(0, info.exit_code) << info.err;
  EXPECT_NE(std::string::npos, info.out.find("\nreuse:            " + rule + ";")) << info.out;
  EXPECT_NE(std::string::npos, info.out.find("an entry index, so a start that finds every file "
                                             "current decodes nothing"))
      << info.out;
  ToolResult list = run_pack_tool({"list", exe_.string()});
  ASSERT_EQ(0, list.exit_code) << list.err;
  EXPECT_EQ(0u, list.out.find("reuse: " + rule + "\n")) << list.out;
  EXPECT_EQ(files_.size() + 1,
            static_cast<size_t>(std::count(list.out.begin(), list.out.end(), '\n')));

  fs::path crc = dir_ / "crc.exe";
  ASSERT_EQ(0, pack({"-o", crc.string()}).exit_code);
  EXPECT_NE(std::string::npos, run_pack_tool({"info", crc.string()})
                                   .out.find("\nreuse:            crc, files read for their "
                                             "CRC-32\n"));
}

// Each fault of the index found before the payload's own checks: what a start trusts in
// place of the payload must be the payload's.
TEST_F(ReuseStamp, VerifyTakesTheIndexAndRefusesOneThatDiffersFromThePayload) {
  ToolResult intact = run_pack_tool({"verify", exe_.string()});
  ASSERT_EQ(0, intact.exit_code) << intact.err;
  EXPECT_NE(std::string::npos, intact.out.find("resources, entry index and PE checksum as packed"))
      << intact.out;

  struct Case {
    const char* name;
    void (*change)(Image&);
    const char* expected;
  };
  // Changes of content come with the index's own checksum made anew, as a writer would.
  const Case cases[] = {
      {"a bit, its own checksum kept",
       [](Image& exe) { exe[section_data(exe, ".kvindex") + 16 + 16 * 2] ^= 1; },
       "its entry index does not match its own checksum"},
      {"a size",
       [](Image& exe) {
         exe[section_data(exe, ".kvindex") + 16 + 16 * 2] ^= 1;
         reseal_index(exe);
       },
       "its entry index names entry 3 'b.txt'"},
      {"a name",
       [](Image& exe) {
         Image index = index_of(exe);
         size_t names = index.size() - 2 * get32(index, 4);
         exe[section_data(exe, ".kvindex") + names] ^= 0x20;  // main.exe -> Main.exe
         reseal_index(exe);
       },
       "its entry index names entry 1 'Main.exe'"},
      {"the listing's order",
       [](Image& exe) {
         size_t listing =
             section_data(exe, ".kvindex") + 16 + 16 * get32(exe, section_data(exe, ".kvindex"));
         uint32_t first = get32(exe, listing), second = get32(exe, listing + 4);
         put32(exe, listing, second);
         put32(exe, listing + 4, first);
         reseal_index(exe);
       },
       "its entry index does not list a folder's entries in the order the launcher searches"},
      {"the record's length of it",
       [](Image& exe) {
         size_t field =
             constants_in_executable(exe).offset + offsetof(ConstantsRecord, index_length);
         put32(exe, field, get32(exe, field) - 2);
       },
       "its constants record does not name the .kvindex section"},
      {"the stamp",
       [](Image& exe) {
         exe[constants_in_executable(exe).offset + offsetof(ConstantsRecord, stamp)] ^= 1;
       },
       "its constants record holds a stamp the pack tool does not give"},
      {"an option it does not know",
       [](Image& exe) {
         exe[constants_in_executable(exe).offset + offsetof(ConstantsRecord, options)] |= 2;
       },
       "its constants record asks for unknown options"},
      {"days to keep other builds past the tool's longest",
       [](Image& exe) {
         put32(exe,
               constants_in_executable(exe).offset + offsetof(ConstantsRecord, prune_after_days),
               36501);
       },
       "its constants record holds a time to keep other builds the pack tool does not give"},
      {"the count of entries",
       [](Image& exe) {
         size_t field =
             constants_in_executable(exe).offset + offsetof(ConstantsRecord, entry_count);
         put32(exe, field, get32(exe, field) + 1);
       },
       "its constants record counts "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expect_refused_in_one_line(run_pack_tool({"verify", changed("changed.exe", c.change).string()}),
                               c.expected);
  }
}

TEST_F(ReuseStamp, PayloadBlockGetsTheIndexOfItsEntries) {
  Image folder_exe = read_file(exe_);
  write_file(dir_ / "app.block", block_in_executable(folder_exe));
  fs::path from_block = dir_ / "from-block.exe";
  ToolResult packed = run_pack_tool({"pack", "--payload-block", (dir_ / "app.block").string(),
                                     "--reuse", "stamp", "-o", from_block.string()});
  ASSERT_EQ(0, packed.exit_code) << packed.err;
  Image block_exe = read_file(from_block);
  EXPECT_TRUE(index_of(block_exe) == index_of(folder_exe));
  EXPECT_EQ(0, run_pack_tool({"verify", from_block.string()}).exit_code);
  // The record counts the entries, for a start's progress, from a folder or a block alike.
  auto entry_count = [](const Image& exe) {
    return get32(exe, constants_in_executable(exe).offset + offsetof(ConstantsRecord, entry_count));
  };
  EXPECT_EQ(entry_count(folder_exe), get32(folder_exe, section_data(folder_exe, ".kvindex")));
  EXPECT_GT(entry_count(folder_exe), 1u);
  EXPECT_EQ(entry_count(block_exe), entry_count(folder_exe));

  // Not decoded, so no index: every start of such a launcher decodes.
  fs::path unchecked = dir_ / "unchecked.exe";
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", "--unchecked-block", "--payload-block",
                              (dir_ / "app.block").string(), "--reuse", "stamp", "-o",
                              unchecked.string()})
                   .exit_code);
  EXPECT_FALSE(has_section(read_file(unchecked), ".kvindex"));
  EXPECT_EQ(entry_count(read_file(unchecked)), 0u);
  EXPECT_EQ(0, run_pack_tool({"verify", unchecked.string()}).exit_code);
  EXPECT_NE(std::string::npos, run_pack_tool({"info", unchecked.string()})
                                   .out.find("no entry index, so every start decodes"));
}

// The same input makes the same launcher; the rule changes nothing of the payload, only
// where the launcher unpacks by default and what the record holds.
TEST_F(ReuseStamp, SameInputSameLauncherAndARuleOfItsOwnHasAFolderOfItsOwn) {
  fs::path again = dir_ / "again.exe";
  ASSERT_EQ(0, pack({"--reuse", "stamp", "-o", again.string(), "--threads", "3"}).exit_code);
  EXPECT_TRUE(read_file(again) == read_file(exe_));

  fs::path crc = dir_ / "crc.exe";
  ASSERT_EQ(0, pack({"-o", crc.string()}).exit_code);
  Image crc_exe = read_file(crc), stamp_exe = read_file(exe_);
  EXPECT_FALSE(has_section(crc_exe, ".kvindex"));
  EXPECT_EQ(0u, stamp_of(crc_exe));
  EXPECT_TRUE(block_in_executable(crc_exe) == block_in_executable(stamp_exe));
  std::u16string crc_spec = constants_in_executable(crc_exe).spec;
  std::u16string stamp_spec = constants_in_executable(stamp_exe).spec;
  EXPECT_EQ(crc_spec.substr(0, crc_spec.size() - 12), stamp_spec.substr(0, stamp_spec.size() - 12));
  EXPECT_NE(crc_spec, stamp_spec);

  write_file(dir_ / "app/b.txt", "B");
  fs::path other = dir_ / "other.exe";
  ASSERT_EQ(0, pack({"--reuse", "stamp", "-o", other.string()}).exit_code);
  EXPECT_NE(stamp_of(read_file(other)), stamp_of(stamp_exe));
}

// Launchers made before the rule existed have a shorter record, which reads as the
// CRC-32 rule, and no digests; those made before the options, shorter still than today's,
// show no progress whatever the stub's bytes after their record hold.
TEST_F(ReuseStamp, LauncherWithTheEarlierRecordReadsAsTheCrcRule) {
  fs::path crc = dir_ / "crc.exe";
  ASSERT_EQ(0, pack({"-o", crc.string(), "--unpack-progress"}).exit_code);
  for (uint32_t layout : {0u, 1u}) {
    SCOPED_TRACE(layout);
    Image image = read_file(crc);
    put32(image, constants_in_executable(image).offset + offsetof(ConstantsRecord, record_layout),
          layout);
    clear_image_digests(image);
    rewrite_checksum(image);
    write_file(dir_ / "earlier.exe", image);
    ToolResult verified = run_pack_tool({"verify", (dir_ / "earlier.exe").string()});
    EXPECT_EQ(0, verified.exit_code) << verified.err;
    std::string info = run_pack_tool({"info", (dir_ / "earlier.exe").string()}).out;
    EXPECT_NE(std::string::npos, info.find("\nreuse:            crc,")) << info;
    EXPECT_NE(std::string::npos, info.find("\nunpack progress:  not shown\n")) << info;
  }
}

TEST_F(ReuseStamp, UnpackProgressIsOffUnlessAskedForAndShownBySummaryAndInfo) {
  fs::path shown = dir_ / "shown.exe";
  ToolResult packed = pack({"-o", shown.string(), "--unpack-progress"});
  ASSERT_EQ(0, packed.exit_code) << packed.err;
  EXPECT_NE(std::string::npos, packed.out.find("\n  unpack progress: shown")) << packed.out;
  EXPECT_EQ(std::string::npos, summary_.find("unpack progress")) << summary_;
  auto options = [](const fs::path& exe) {
    Image image = read_file(exe);
    return get32(image, constants_in_executable(image).offset + offsetof(ConstantsRecord, options));
  };
  EXPECT_EQ(1u, options(shown));
  EXPECT_EQ(0u, options(exe_));
  EXPECT_EQ(0, run_pack_tool({"verify", shown.string()}).exit_code);
  EXPECT_NE(std::string::npos,
            run_pack_tool({"info", shown.string()})
                .out.find("\nunpack progress:  shown after a second of writing"));
  EXPECT_NE(std::string::npos,
            run_pack_tool({"info", exe_.string()}).out.find("\nunpack progress:  not shown\n"));
}

}  // namespace
}  // namespace pack_test
