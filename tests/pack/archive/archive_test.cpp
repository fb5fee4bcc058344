// The payload block as written for an app folder, read back by the tests' own reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "pack/archive/payload_block.h"
#include "pack/scan/app_files.h"
#include "pack/scan/archive_plan.h"
#include "tests/harness/zero_crc.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/test_files.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

ReadBlock pack_and_read(const fs::path& app, const fs::path& block_path,
                        std::optional<std::string> main = std::nullopt,
                        pack::CompressionSettings settings = {}) {
  std::vector<pack::AppFile> entries = pack::plan_archive(pack::scan_app_dir(app), main, app);
  pack::Progress quiet(false, 0);
  pack::BlockSizes sizes = pack::write_payload_block(entries, settings, block_path, quiet);
  std::vector<unsigned char> block = read_file(block_path);
  EXPECT_EQ(sizes.block, block.size());
  ReadBlock read = read_block(block);
  EXPECT_EQ(sizes.archive, read.archive_size);
  EXPECT_EQ(pack::archive_size(entries), read.archive_size);
  return read;
}

std::vector<std::u16string> names_of(const ReadBlock& block) {
  std::vector<std::u16string> names;
  for (const ReadEntry& entry : block.entries) names.push_back(entry.name);
  return names;
}

TEST(Archive, LayoutOrderAndChecksumsReadBackIndependently) {
  TempDir dir;
  fs::path app = dir / "app";
  const std::string zero_crc = ::bytes_with_zero_crc(64);
  ASSERT_EQ(0u, reference_crc32(zero_crc.data(), zero_crc.size()));
  const std::map<std::string, std::string> files = {
      {"app.exe", "MZ main program"},
      {"b.txt", std::string(5000, 'b')},
      {"A.dll", "dll bytes"},
      {"empty.dat", ""},
      {"zero.bin", zero_crc},
      {"sub/x.txt", "x"},
      {"sub/deeper/y.bin", std::string("\0\1\2\3", 4)},
      {"Sub2/\xC3\xA9t\xC3\xA9.txt", "accented"},
  };
  for (const auto& [name, content] : files) write_file(app / name, content);

  ReadBlock block = pack_and_read(app, dir / "block.bin");
  ASSERT_EQ("", block.error);
  EXPECT_TRUE(block.magic_ok);
  EXPECT_TRUE(block.ends_at_terminator);
  EXPECT_TRUE(block.fill_is_zero);
  EXPECT_TRUE(block.has_checksum);
  EXPECT_EQ(0u, block.trailer_offset % 16);
  EXPECT_EQ(block.trailer_offset, block.trailer);
  EXPECT_LT(block.trailer_offset - (3 + block.frame_size), 16u);

  // Main first, then top-level files, then files in folders, each by UTF-16 units.
  std::vector<std::u16string> expected = {u"app.exe",
                                          u"A.dll",
                                          u"b.txt",
                                          u"empty.dat",
                                          u"zero.bin",
                                          u"Sub2\\\u00e9t\u00e9.txt",
                                          u"sub\\deeper\\y.bin",
                                          u"sub\\x.txt"};
  EXPECT_EQ(expected, names_of(block));

  for (const ReadEntry& entry : block.entries) {
    std::string name(entry.name.begin(), entry.name.end());
    SCOPED_TRACE(name);
    EXPECT_EQ(entry.data.size(), entry.size);
    uint32_t crc = reference_crc32(entry.data.data(), entry.data.size());
    EXPECT_EQ(crc, entry.data_crc);
    if (entry.name == u"zero.bin") {
      EXPECT_EQ(1u, entry.stored_checksum);  // what the launcher computes for it on disk
    } else {
      EXPECT_EQ(crc, entry.stored_checksum);  // the empty file keeps 0
    }
  }
  EXPECT_EQ(files.at("b.txt"), block.entries[2].data);
  EXPECT_EQ(zero_crc, block.entries[4].data);
}

TEST(Archive, NamedMainInAFolderComesFirstAndLeavesItsGroup) {
  TempDir dir;
  write_file(dir / "app/bin/tool.exe", "tool");
  write_file(dir / "app/bin/helper.exe", "helper");
  write_file(dir / "app/setup.exe", "setup");
  ReadBlock block = pack_and_read(dir / "app", dir / "block.bin", std::string("bin/TOOL.exe"));
  std::vector<std::u16string> expected = {u"bin\\tool.exe", u"setup.exe", u"bin\\helper.exe"};
  EXPECT_EQ(expected, names_of(block));
}

TEST(Archive, WindowCoversTheArchiveWithinDecoderLimits) {
  EXPECT_EQ(10, pack::window_log_for(0));
  EXPECT_EQ(10, pack::window_log_for(1024));
  EXPECT_EQ(11, pack::window_log_for(1025));
  EXPECT_EQ(20, pack::window_log_for(1 << 20));
  EXPECT_EQ(27, pack::window_log_for(uint64_t{1} << 27));
  EXPECT_EQ(27, pack::window_log_for(uint64_t{1} << 40));

  TempDir dir;
  write_file(dir / "app/app.exe", std::string(300000, 'a'));
  pack::CompressionSettings settings;
  settings.checksum = false;
  ReadBlock block = pack_and_read(dir / "app", dir / "block.bin", std::nullopt, settings);
  EXPECT_LE(block.window_log, 19u);  // 2^19 > 300,000 + headers
  EXPECT_FALSE(block.has_checksum);
}

// A sparse file of 4 GiB and more: sizes stay 64-bit from the scan to the archive.
TEST(Archive, FilesOfFourGibibytesAndMore) {
  TempDir dir;
  write_file(dir / "app/app.exe", "main");
  fs::path big = dir / "app/big.bin";
  const uint64_t size = (uint64_t{1} << 32) + 5;
  {
    int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(5, pwrite(fd, "tail!", 5, static_cast<off_t>(size - 5)));
    close(fd);
  }
  pack::CompressionSettings fast;
  fast.level = 1;
  ReadBlock block = pack_and_read(dir / "app", dir / "block.bin", std::nullopt, fast);
  ASSERT_EQ("", block.error);
  ASSERT_EQ(2u, block.entries.size());
  EXPECT_EQ(size, block.entries[1].size);
  EXPECT_EQ(block.entries[1].data_crc, block.entries[1].stored_checksum);
  EXPECT_TRUE(block.ends_at_terminator);
  EXPECT_EQ(27u, block.window_log);
}

}  // namespace
}  // namespace pack_test
