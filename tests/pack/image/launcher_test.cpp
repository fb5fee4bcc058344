// Real launchers written by the program: image settings, resources, the carried block,
// size and determinism.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "pack/archive/payload_block.h"
#include "pack/image/manifest.h"
#include "pack/scan/app_files.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/image/pe_resources.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

class Launcher : public ::testing::Test {
 protected:
  // Runs the program and expects success.
  void pack(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"pack", "--quiet"};
    all.insert(all.end(), args.begin(), args.end());
    ToolResult result = run_pack_tool(all);
    ASSERT_EQ(0, result.exit_code) << result.err;
    EXPECT_EQ("", result.out);
  }

  fs::path empty_block() {
    fs::path path = dir_ / "empty.block";
    pack::Progress quiet(false, 0);
    pack::write_payload_block({}, {}, path, quiet);
    return path;
  }

  TempDir dir_;
};

// objdump's private headers as name -> value.
std::map<std::string, std::string> image_settings(const fs::path& exe) {
  ToolResult dump = run_program({"x86_64-w64-mingw32-objdump", "-p", exe.string()});
  EXPECT_EQ(0, dump.exit_code) << dump.err;
  std::map<std::string, std::string> settings;
  std::istringstream lines(dump.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string name, value;
    if (words >> name >> value) settings.emplace(name, value);
  }
  return settings;
}

TEST_F(Launcher, EmptyArchiveStubHasTheImageSettingsResourcesAndSize) {
  fs::path block = empty_block();
  fs::path exe = dir_ / "stub.exe";
  pack({"--payload-block", block.string(), "-o", exe.string()});

  Bytes image = read_file(exe);
  EXPECT_LE(image.size(), 200u * 1024) << "stub size " << image.size();
  RecordProperty("stub_bytes", static_cast<int>(image.size()));

  auto settings = image_settings(exe);
  EXPECT_EQ("00000002", settings["Subsystem"]);
  EXPECT_EQ("5", settings["MajorSubsystemVersion"]);
  EXPECT_EQ("2", settings["MinorSubsystemVersion"]);
  EXPECT_EQ("00000160", settings["DllCharacteristics"]);
  EXPECT_EQ("0000000000968000", settings["SizeOfStackReserve"]);
  EXPECT_EQ("0000000000001000", settings["SizeOfStackCommit"]);
  EXPECT_EQ("0000000000100000", settings["SizeOfHeapReserve"]);
  EXPECT_EQ("(PE32+)", settings["Magic"].empty() ? "" : "(PE32+)");

  // The block is carried byte for byte where the constants record says.
  Bytes expected_block = read_file(block);
  EXPECT_EQ(expected_block, block_in_executable(image));
  RecordInImage record = constants_in_executable(image);
  EXPECT_EQ(expected_block.size(), record.payload_length);
  // An empty archive names no program: the folder takes a stand-in name.
  std::u16string folder = u"{CACHE_DIR}\\kovran-onefile\\app-";
  EXPECT_EQ(folder, record.spec.substr(0, folder.size()));
  EXPECT_EQ(folder.size() + 12, record.spec.size());
  EXPECT_EQ(u"1.17.4.0", record.version);
  EXPECT_EQ(0u, record.offset % 8);

  std::vector<Resource> resources = read_resources(image);
  for (const Resource& r : resources) EXPECT_EQ(0u, r.language) << r.type << "/" << r.id;
  const Resource* group = find_resource(resources, rt_group_icon, 1);
  ASSERT_NE(nullptr, group);
  ASSERT_EQ(6u + 6 * 14, group->data.size());
  EXPECT_EQ(6, group->data[4]);
  const uint32_t sizes[] = {16, 32, 48, 64, 128, 256};
  for (uint32_t i = 0; i < 6; ++i) {
    const unsigned char* entry = &group->data[6 + i * 14];
    EXPECT_EQ(sizes[i] % 256, entry[0]);
    EXPECT_EQ(32, entry[6]);
    uint32_t id = entry[12] | entry[13] << 8;
    EXPECT_EQ(i + 1, id);
    const Resource* icon = find_resource(resources, rt_icon, id);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(0, std::memcmp(icon->data.data(), "\x89PNG", 4));
    EXPECT_EQ(sizes[i], static_cast<uint32_t>(icon->data[19]) | icon->data[18] << 8);
  }

  const Resource* manifest = find_resource(resources, rt_manifest, 1);
  ASSERT_NE(nullptr, manifest);
  EXPECT_EQ(pack::application_manifest(),
            std::string(manifest->data.begin(), manifest->data.end()));

  const Resource* version = find_resource(resources, rt_version, 1);
  ASSERT_NE(nullptr, version);
  VersionInfo info = parse_version_resource(version->data);
  EXPECT_EQ(0xFEEF04BDu, info.signature);
  EXPECT_EQ(0x00010011u, info.file_ms);
  EXPECT_EQ(0x00040000u, info.file_ls);
  EXPECT_EQ(info.file_ms, info.product_ms);
  EXPECT_EQ(info.file_ls, info.product_ls);
  EXPECT_EQ(0x3Fu, info.flags_mask);
  EXPECT_EQ(0u, info.flags);
  EXPECT_EQ(4u, info.os);
  EXPECT_EQ(1u, info.type);
  EXPECT_EQ("000004b0", info.string_table_key);
  std::vector<std::string> keys = {"ProductVersion", "FileVersion", "OriginalFilename",
                                   "InternalName",   "ProductName", "FileDescription",
                                   "PackedBy"};
  EXPECT_EQ(keys, info.string_order);
  EXPECT_EQ(u"kovran-onefile " KOVRAN_VERSION, info.strings["PackedBy"]);
  EXPECT_EQ(u"1.17.4.0", info.strings["ProductVersion"]);
  EXPECT_EQ(u"1.17.4.0", info.strings["FileVersion"]);
  EXPECT_EQ(u"stub.exe", info.strings["OriginalFilename"]);
  EXPECT_EQ(u"stub", info.strings["ProductName"]);
  EXPECT_EQ((std::vector<uint16_t>{0, 1200}), info.translation);
}

TEST_F(Launcher, FolderOptionsReachTheResourcesAndConstants) {
  write_file(dir_ / "app/bin/Tool.exe", minimal_program());
  write_file(dir_ / "app/bin/tool.dll", "dll");
  write_file(dir_ / "app/data/readme.txt", "read me");
  fs::path exe = dir_ / "packed.exe";
  pack({(dir_ / "app").string(), "-o", exe.string(), "--main", "bin/Tool.exe", "--app-version",
        "2.5.0.07", "--product-name", "K\xC3\xA4rnan \"Q\"", "--spec", "{TEMP}\\{pid}"});
  Bytes image = read_file(exe);

  ReadBlock block = read_block(block_in_executable(image));
  ASSERT_EQ("", block.error);
  ASSERT_EQ(3u, block.entries.size());
  EXPECT_EQ(u"bin\\Tool.exe", block.entries[0].name);
  EXPECT_EQ(minimal_program(), block.entries[0].data);

  RecordInImage record = constants_in_executable(image);
  EXPECT_EQ(u"{TEMP}\\{pid}", record.spec);
  EXPECT_EQ(u"2.5.0.7", record.version);

  VersionInfo info =
      parse_version_resource(find_resource(read_resources(image), rt_version, 1)->data);
  EXPECT_EQ(0x00020005u, info.file_ms);
  EXPECT_EQ(0x00000007u, info.file_ls);
  EXPECT_EQ(u"2.5.0.7", info.strings["FileVersion"]);
  EXPECT_EQ(u"Tool.exe", info.strings["OriginalFilename"]);
  EXPECT_EQ(u"Tool.exe", info.strings["InternalName"]);
  EXPECT_EQ(u"K\u00e4rnan \"Q\"", info.strings["ProductName"]);
  EXPECT_EQ(u"K\u00e4rnan \"Q\"", info.strings["FileDescription"]);
}

TEST_F(Launcher, IconFileImagesAreCarriedAsGiven) {
  write_file(dir_ / "app/app.exe", minimal_program());
  Bytes ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  Bytes dib(40 + 16 * 16 * 4 + 16 * 4, 0x33);
  const unsigned char header[16] = {40, 0, 0, 0, 16, 0, 0, 0, 32, 0, 0, 0, 1, 0, 32, 0};
  std::fill(dib.begin(), dib.begin() + 40, 0);
  std::copy(std::begin(header), std::end(header), dib.begin());
  for (uint32_t v : {static_cast<uint32_t>(dib.size()), 22u}) {
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }
  ico.insert(ico.end(), dib.begin(), dib.end());
  write_file(dir_ / "one.ico", std::string(ico.begin(), ico.end()));

  fs::path exe = dir_ / "icon.exe";
  pack({(dir_ / "app").string(), "-o", exe.string(), "--icon", (dir_ / "one.ico").string()});
  std::vector<Resource> resources = read_resources(read_file(exe));
  const Resource* group = find_resource(resources, rt_group_icon, 1);
  ASSERT_NE(nullptr, group);
  EXPECT_EQ(1, group->data[4]);
  ASSERT_NE(nullptr, find_resource(resources, rt_icon, 1));
  EXPECT_EQ(dib, find_resource(resources, rt_icon, 1)->data);
  EXPECT_EQ(nullptr, find_resource(resources, rt_icon, 2));
}

// Same inputs, same bytes: across runs, output names and thread counts.
TEST_F(Launcher, PackingIsDeterministic) {
  std::string text;
  uint32_t state = 12345;
  while (text.size() < (8u << 20)) {
    state = state * 1103515245u + 12345u;
    text += "word" + std::to_string((state >> 16) % 5000) + (state % 7 == 0 ? "\n" : " ");
  }
  write_file(dir_ / "app/app.exe", minimal_program());
  write_file(dir_ / "app/data/words.txt", text);
  std::string app = (dir_ / "app").string();
  pack({app, "-o", (dir_ / "one.exe").string(), "--level", "3", "--threads", "1"});
  pack({app, "-o", (dir_ / "two.exe").string(), "--level", "3", "--threads", "2"});
  pack({app, "-o", (dir_ / "three.exe").string(), "--level", "3", "--threads", "4"});
  Bytes one = read_file(dir_ / "one.exe");
  EXPECT_TRUE(one == read_file(dir_ / "two.exe"));
  EXPECT_TRUE(one == read_file(dir_ / "three.exe"));
  ReadBlock block = read_block(block_in_executable(one));
  ASSERT_EQ("", block.error);
  EXPECT_EQ(reference_crc32(text.data(), text.size()), block.entries[1].stored_checksum);
}

TEST_F(Launcher, ReplacesAnExistingOutputAndPrintsASummary) {
  write_file(dir_ / "app/app.exe", minimal_program());
  write_file(dir_ / "out.exe", "old");
  ToolResult result =
      run_pack_tool({"pack", (dir_ / "app").string(), "-o", (dir_ / "out.exe").string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  EXPECT_EQ("", result.err);  // no progress line when stderr is not a terminal
  EXPECT_NE(std::string::npos, result.out.find("packed 1 file: ")) << result.out;
  EXPECT_NE(std::string::npos,
            result.out.find("\n  unpacks into: {CACHE_DIR}\\kovran-onefile\\app-"))
      << result.out;
  EXPECT_NE(std::string::npos, result.out.find("\n  reuse: crc, files read for their CRC-32\n"))
      << result.out;
  EXPECT_EQ(4, std::count(result.out.begin(), result.out.end(), '\n'));
  EXPECT_GT(fs::file_size(dir_ / "out.exe"), 3u);
  EXPECT_EQ((std::vector<std::string>{"app", "app/app.exe", "out.exe"}), [&] {
    auto names = list_files(dir_.path());
    std::sort(names.begin(), names.end());
    return names;
  }());
}

}  // namespace
}  // namespace pack_test
