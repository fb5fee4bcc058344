// Entry names from payload blocks that other writers made: whatever would leave the
// target directory or name a device is refused before anything of the entry is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/harness/refused_entry_names.h"
#include "tests/payload/unpacker.h"

namespace {

TEST(EntryNames, NamesLeavingTheTargetOrNamingADeviceEndTheUnpackBeforeTheyAreWritten) {
  const wchar_t* hostile[] = {
      L"..\\x.exe", L"sub/../../x.exe", L"\\..\\x.exe", L"\\x.exe",   L"C:\\x.exe",
      L"C:x.exe",   L"x.exe:stream",    L"sub\\\\x",    L".\\x.exe",  L"sub\\..",
      L"sub\\...",  L"sub\\.. \\x.exe", L"x\ty",        L"NUL",       L"nul.txt",
      L"sub\\COM1", L"lpt9.log",        L"CON .txt",    L"aux.",      L"CONIN$",
      L"conout$.x", L"com\x00b9",       L"sub\\",       L"trailing\\"};
  for (const wchar_t* name : hostile) {
    for (bool first : {true, false}) {
      Unpacker unpacker;
      std::vector<ArchiveEntry> entries = {{name, "payload"}};
      if (!first) entries.insert(entries.begin(), {L"main.exe", "MZ"});
      ProcessResult result = unpacker.run(entries);
      EXPECT_EQ(result.exit_code, 2u) << narrow_utf8(name);
      EXPECT_EQ(result.err, "Error, couldn't decode attached data.\n") << narrow_utf8(name);
      EXPECT_EQ(result.out, "") << narrow_utf8(name);
      EXPECT_FALSE(file_exists(unpacker.temp.file(L"x.exe"))) << narrow_utf8(name);
      EXPECT_FALSE(file_exists(unpacker.path(L"sub"))) << narrow_utf8(name);
      EXPECT_EQ(file_exists(unpacker.path(L"main.exe")), !first) << narrow_utf8(name);
    }
  }
}

// The pack tool's rule, from the same definition: what it refuses, a start refuses too.
TEST(EntryNames, NamesThePackToolRefusesEndTheUnpack) {
  for (const char16_t* refused : refused_entry_names) {
    std::wstring name(refused, refused + std::char_traits<char16_t>::length(refused));
    Unpacker unpacker;
    ProcessResult result = unpacker.run({{L"main.exe", "MZ"}, {name, "payload"}});
    EXPECT_EQ(result.exit_code, 2u) << narrow_utf8(name);
    EXPECT_EQ(result.err, decode_message) << narrow_utf8(name);
    EXPECT_FALSE(file_exists(unpacker.path(L"sub"))) << narrow_utf8(name);
    EXPECT_FALSE(file_exists(unpacker.path(L"evil"))) << narrow_utf8(name);
    EXPECT_FALSE(file_exists(unpacker.path(L"COM0"))) << narrow_utf8(name);
  }
}

TEST(EntryNames, NamesThePackToolWritesAreKept) {
  Unpacker unpacker;
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ"},
                                       {L"..x", "1"},
                                       {L".hidden", "2"},
                                       {L"a.b.c\\d e.txt", "3"},
                                       {L"CONSOLE.txt", "4"},
                                       {L"nul_device", "5"},
                                       {L"COM10", "6"},
                                       {L"x.NUL", "7"},
                                       {L"\x00e9t\x00e9\\\x4e2d", "8"},
                                       {L"deep\\er\\est\\f", "9"},
                                       {L"LPTX", "10"},
                                       {L"con-fig\\aux-it", "11"}};
  ProcessResult result = unpacker.run(entries);
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  for (const auto& entry : entries) {
    EXPECT_EQ(read_file(unpacker.path(entry.name)), entry.data) << narrow_utf8(entry.name);
  }
}

}  // namespace
