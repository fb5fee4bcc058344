// list, verify, extract and info over launchers the tool made, checked against the
// source folder and the tests' own CRC-32.
#include <gtest/gtest.h>

#include <zstd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include "pack/scan/utf.h"
#include "tests/harness/refused_entry_names.h"
#include "tests/harness/zero_crc.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/inspect/handmade_block.h"
#include "tests/pack/inspect/image_bytes.h"
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
    write_file(copy, image);
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
  std::string rule;
  std::getline(lines, rule);
  EXPECT_EQ("reuse: crc, files read for their CRC-32", rule);
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
  EXPECT_EQ("extracted 5 files, 195.6 KiB, into " + into.string() + "\n", result.out);

  // An empty folder that exists, named with a trailing separator.
  fs::create_directory(dir_ / "empty");
  ToolResult empty = run_pack_tool({"extract", exe_.string(), (dir_ / "empty").string() + "/"});
  ASSERT_EQ(0, empty.exit_code) << empty.err;
  EXPECT_EQ(list_files(into), list_files(dir_ / "empty"));
}

// The bar for a failed extract: nothing new is left, and no file of the user's changes,
// whether the folder is new, empty, a file, or holds files of its own.
// A write that the system refuses (here a file-size limit, as a full disk would) says why.
TEST_F(Inspect, ExtractGivesTheSystemsReasonForAFailedWrite) {
  ToolResult result =
      run_program({"env", "--ignore-signal=XFSZ", "prlimit", "--fsize=100000", tool_path().string(),
                   "extract", exe_.string(), (dir_ / "limited").string()});
  expect_refused_in_one_line(result, "core.dll: File too large");
  EXPECT_FALSE(fs::exists(dir_ / "limited"));
}

TEST_F(Inspect, AFailedExtractLeavesNothingAndChangesNothing) {
  // The trailer is checked last, after every file has been decoded and written.
  uint64_t block_size = block_in_executable(read_file(exe_)).size();
  fs::path damaged = damaged_copy(block_size - 2);
  write_file(dir_ / "user/clash/readme.txt", "the user's own");
  write_file(dir_ / "user/other/notes.txt", "unrelated");
  write_file(dir_ / "user/a-file", "a file");
  fs::create_directories(dir_ / "user/empty");
  const std::pair<std::string, std::string> cases[] = {
      {"new/deeper/into", "the trailer does not hold"},
      {"empty", "the trailer does not hold"},
      {"clash", "the folder is not empty"},
      {"other", "the folder is not empty"},
      {"a-file", "a file of that name exists"},
  };
  for (const auto& [folder, expected] : cases) {
    SCOPED_TRACE(folder);
    std::vector<std::string> before = list_files(dir_.path());
    ToolResult result =
        run_pack_tool({"extract", damaged.string(), (dir_ / "user" / folder).string()});
    expect_refused_in_one_line(result, expected);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(before, list_files(dir_.path()));
  }
  std::vector<unsigned char> kept = read_file(dir_ / "user/clash/readme.txt");
  EXPECT_EQ("the user's own", std::string(kept.begin(), kept.end()));
  kept = read_file(dir_ / "user/a-file");
  EXPECT_EQ("a file", std::string(kept.begin(), kept.end()));
}

TEST_F(Inspect, VerifyPassesIntactAndNamesTheFault) {
  ToolResult intact = run_pack_tool({"verify", exe_.string()});
  EXPECT_EQ(0, intact.exit_code) << intact.err;
  EXPECT_EQ(exe_.string() +
                ": OK, 5 files, 195.6 KiB, every CRC-32 and the frame's checksum intact; headers, "
                "sections, resources and PE checksum as packed\n",
            intact.out);

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

// The bar for verify: one changed byte of code fails it, the intact launcher passes.
TEST_F(Inspect, VerifyFailsOnOneChangedCodeByteAndPassesTheIntact) {
  EXPECT_EQ(0, run_pack_tool({"verify", exe_.string()}).exit_code);
  std::vector<unsigned char> image = read_file(exe_);
  size_t code_at = section_data(image, ".text") + 0x400;
  image[code_at] ^= 0x01;
  fs::path changed = dir_ / "code.exe";
  write_file(changed, image);
  ToolResult result = run_pack_tool({"verify", changed.string()});
  EXPECT_EQ(1, result.exit_code);
  char where[64];
  std::snprintf(where, sizeof where, "at 0x%zx in section .text", code_at);
  EXPECT_NE(std::string::npos, result.err.find("PE checksum")) << result.err;
  EXPECT_NE(std::string::npos, result.err.find(where)) << result.err;
  EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;

  // A changed byte of the resources: the checksum again, outside the code.
  image = read_file(exe_);
  const std::string text_in_manifest = "asInvoker";
  auto found =
      std::search(image.begin(), image.end(), text_in_manifest.begin(), text_in_manifest.end());
  ASSERT_NE(image.end(), found);
  *found = 'A';
  write_file(changed, image);
  result = run_pack_tool({"verify", changed.string()});
  EXPECT_EQ(1, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find("outside the launcher code")) << result.err;
}

// Changes whose author also rewrote the checksum: the structure names them.
TEST_F(Inspect, VerifyNamesChangesMadeWithANewChecksum) {
  const std::vector<unsigned char> original = read_file(exe_);
  size_t record = constants_in_executable(original).offset;
  size_t rsrc = section_data(original, ".rsrc");
  struct Case {
    const char* expected;
    std::function<void(std::vector<unsigned char>&)> change;
  };
  const Case cases[] = {
      {"16 bytes follow the last section",
       [](std::vector<unsigned char>& i) { i.resize(i.size() + 16, 'x'); }},
      {"does not carry the launcher's version",
       [&](std::vector<unsigned char>& i) { i[record + 32 + 2 * 1024 + 12] = '2'; }},
      {"target directory template is unusable: '}' without '{'",
       [&](std::vector<unsigned char>& i) { i[record + 32] = '}'; }},
      {"section .rsrc has other sizes or flags",
       [](std::vector<unsigned char>& i) { i[section_header(i, ".rsrc") + 39] |= 0x80; }},
      {"a resource the pack tool does not write",
       [&](std::vector<unsigned char>& i) { i[rsrc + 16 + 3 * 8] = 25; }},
      {"does not name the .payload section",
       [&](std::vector<unsigned char>& i) {
         put32(i, record + 16, get32(i, section_header(i, ".rsrc") + 12));
       }},
      {"certificate table is not where a signing tool puts it",
       [](std::vector<unsigned char>& i) {
         put32(i, certificate_directory(i), static_cast<uint32_t>(i.size()));
         put32(i, certificate_directory(i) + 4, 64);
       }},
      {"its headers end in bytes the pack tool does not write",
       [](std::vector<unsigned char>& i) { i[image_digest_record(i)] ^= 0x01; }},
      {"certificate table is larger than any signature",
       [](std::vector<unsigned char>& i) {
         put32(i, certificate_directory(i), static_cast<uint32_t>(i.size()));
         put32(i, certificate_directory(i) + 4, 17u << 20);
         i.resize(i.size() + (17u << 20));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::vector<unsigned char> image = original;
    c.change(image);
    rewrite_checksum(image);
    fs::path changed = dir_ / "changed.exe";
    write_file(changed, image);
    expect_refused_in_one_line(run_pack_tool({"verify", changed.string()}), c.expected);
  }
}

// A letter one up and the one two bytes later one down leave the PE checksum as it was, and
// so does a word of zeros made 0xFFFF, the sum's other zero; the digests recorded at
// packing see them, in the headers, the resources and the payload's section alike.
TEST_F(Inspect, VerifyFailsOnChangesThatKeepThePeChecksum) {
  const Image original = read_file(exe_);
  auto find_text = [&](const std::string& text) {
    auto at = std::search(original.begin(), original.end(), text.begin(), text.end());
    EXPECT_NE(original.end(), at) << text;
    return static_cast<size_t>(at - original.begin());
  };
  const std::string file_version_key("F\0i\0l\0e\0V\0", 10);
  size_t payload = section_header(original, ".payload");
  size_t payload_padding = get32(original, payload + 20) + get32(original, payload + 16) - 8;
  ASSERT_LT(get32(original, payload + 8) + 8, get32(original, payload + 16));
  const struct {
    const char* expected;
    size_t at;
    bool zeros;
  } cases[] = {
      {"its SHA-256 differs", find_text("This program cannot"), false},
      {"its SHA-256 differs", find_text(file_version_key), false},
      {"the SHA-256 of its payload's section differs", payload_padding, true},
  };
  for (const auto& [expected, at, zeros] : cases) {
    SCOPED_TRACE(at);
    Image image = original;
    if (zeros) {
      image[at] = image[at + 1] = 0xFF;
    } else {
      ++image[at];
      --image[at + 2];
    }
    Image resummed = image;
    rewrite_checksum(resummed);
    ASSERT_EQ(image, resummed);
    fs::path changed = dir_ / "same-sum.exe";
    write_file(changed, image);
    expect_refused_in_one_line(run_pack_tool({"verify", changed.string()}), expected);
  }
}

// What tools before the digests made is checked without them, and verify says so.
TEST_F(Inspect, VerifySaysWhenALauncherHasNoDigests) {
  Image image = read_file(exe_);
  clear_image_digests(image);
  rewrite_checksum(image);
  fs::path older = dir_ / "older.exe";
  write_file(older, image);
  ToolResult result = run_pack_tool({"verify", older.string()});
  EXPECT_EQ(0, result.exit_code) << result.err;
  EXPECT_NE(std::string::npos,
            result.out.find(older.string() +
                            ": made by an older kovran-onefile, with no SHA-256 digest of its "
                            "image: a change that keeps its PE checksum would pass\n"))
      << result.out;
}

// A certificate table appended with the checksum updated, as signing tools do: intact,
// and said to be signed. (The real signing tool is tried in signed_launcher.sh.)
TEST_F(Inspect, VerifyAcceptsASignatureAddedAfterPacking) {
  std::vector<unsigned char> image = read_file(exe_);
  uint32_t table_at = static_cast<uint32_t>(image.size());
  std::vector<unsigned char> certificate(40, 0x5A);
  put32(certificate, 0, 36);  // its length; the table is padded to 8 bytes
  certificate[4] = 0x00, certificate[5] = 0x02, certificate[6] = 0x02, certificate[7] = 0x00;
  image.insert(image.end(), certificate.begin(), certificate.end());
  put32(image, certificate_directory(image), table_at);
  put32(image, certificate_directory(image) + 4, 40);
  rewrite_checksum(image);
  fs::path signed_exe = dir_ / "signed.exe";
  write_file(signed_exe, image);
  ToolResult result = run_pack_tool({"verify", signed_exe.string()});
  EXPECT_EQ(0, result.exit_code) << result.err;
  EXPECT_NE(
      std::string::npos,
      result.out.find(signed_exe.string() + ": signed after packing (a certificate table of 40 B)"))
      << result.out;

  // The same table without the checksum brought up to date.
  put32(image, optional_header(image) + 64, get32(image, optional_header(image) + 64) + 1);
  write_file(signed_exe, image);
  result = run_pack_tool({"verify", signed_exe.string()});
  EXPECT_EQ(1, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find("PE checksum")) << result.err;
}

// The launcher takes any amount of zero fill between the frame and the trailer, and so
// do pack and verify; a byte other than zero there is refused.
TEST(InspectPayloadBlock, ZeroFillOfAnyLengthIsTaken) {
  TempDir dir;
  const std::pair<std::string, const char*> cases[] = {
      {std::string(1200000, '\0'), nullptr},
      {std::string(1200000, '\0') + "x" + std::string(7, '\0'), "bytes other than zero fill"},
  };
  for (const auto& [fill, refused] : cases) {
    SCOPED_TRACE(fill.size());
    write_file(dir / "fill.block", handmade_block({{u"main.exe", minimal_program()}}, fill));
    ToolResult packed =
        run_pack_tool({"pack", "-q", "--payload-block", (dir / "fill.block").string(), "-o",
                       (dir / "fill.exe").string()});
    if (refused) {
      expect_refused_in_one_line(packed, refused);
      continue;
    }
    EXPECT_EQ(0, packed.exit_code) << packed.err;
    ToolResult verified = run_pack_tool({"verify", (dir / "fill.exe").string()});
    EXPECT_EQ(0, verified.exit_code) << verified.err;
  }
}

// The launcher never reads the trailer; verify checks it all the same.
TEST_F(Inspect, VerifyChecksTheBlocksTrailer) {
  uint64_t block_size = block_in_executable(read_file(exe_)).size();
  ToolResult damaged = run_pack_tool({"verify", damaged_copy(block_size - 2).string()});
  EXPECT_EQ(1, damaged.exit_code);
  EXPECT_NE(std::string::npos, damaged.err.find("the trailer does not hold")) << damaged.err;
}

// The content checksum is checked at the frame's end, wherever the decoder's window then
// lies: the fault is the frame's, no entry's.
TEST_F(Inspect, AFrameChecksumFailureBlamesNoEntry) {
  std::vector<unsigned char> block = block_in_executable(read_file(exe_));
  size_t frame = ZSTD_findFrameCompressedSize(block.data() + 3, block.size() - 3);
  ASSERT_FALSE(ZSTD_isError(frame));
  fs::path damaged = damaged_copy(3 + frame - 1);
  for (const char* command : {"verify", "list"}) {
    SCOPED_TRACE(command);
    ToolResult result = run_pack_tool({command, damaged.string()});
    expect_refused_in_one_line(
        result, damaged.string() + ": frame: its content does not match its checksum");
  }
  // info shows what the launcher's record says before the fault.
  ToolResult info = run_pack_tool({"info", damaged.string()});
  expect_refused_in_one_line(info, "frame: its content does not match its checksum");
  EXPECT_NE(std::string::npos, info.out.find("app version:      3.1.4.1\n")) << info.out;
}

TEST_F(Inspect, InfoTellsTemplateVersionAndFrame) {
  ToolResult result = run_pack_tool({"info", exe_.string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  std::u16string spec = constants_in_executable(read_file(exe_)).spec;
  EXPECT_NE(std::string::npos,
            result.out.find("target directory: {CACHE_DIR}\\kovran-onefile\\main-"))
      << result.out;
  EXPECT_NE(std::string::npos, result.out.find("app version:      3.1.4.1")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("195.6 KiB in 5 files")) << result.out;
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
  EXPECT_NE(std::string::npos, verified.out.find("every CRC-32 intact (1 file stored without one)"))
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
    std::vector<std::string> expected = {"bad.block", "bad.exe"};
    EXPECT_EQ(expected, left);
  }
}

// The names the launcher refuses, by the same rule: no command takes such an archive for
// a good one, and extract writes nothing.
TEST(InspectBadInput, EveryCommandRefusesNamesTheLauncherRefuses) {
  for (const char16_t* name : refused_entry_names) {
    TempDir dir;
    SCOPED_TRACE(pack::utf16_to_utf8(name));
    write_file(dir / "bad.block", handmade_block({{u"main.exe", "m"}, {name, "evil"}}));
    fs::path exe = dir / "bad.exe";
    ASSERT_EQ(0, run_pack_tool({"pack", "-q", "--unchecked-block", "--payload-block",
                                (dir / "bad.block").string(), "-o", exe.string()})
                     .exit_code);
    for (const char* command : {"list", "verify", "extract"}) {
      std::vector<std::string> args = {command, exe.string()};
      if (std::string(command) == "extract") args.push_back((dir / "into").string());
      ToolResult result = run_pack_tool(args);
      EXPECT_EQ(1, result.exit_code) << command;
      EXPECT_NE(std::string::npos, result.err.find("unsafe entry name")) << command << result.err;
    }
    std::vector<std::string> left = list_files(dir.path());
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"bad.block", "bad.exe"}), left);
  }
}

}  // namespace
}  // namespace pack_test
