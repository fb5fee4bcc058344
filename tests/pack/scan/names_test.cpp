// The checks that turn bad names, versions and specs away before any work starts.
#include <gtest/gtest.h>

#include "pack/archive/archive_writer.h"
#include "pack/image/version_number.h"
#include "pack/scan/target_spec_check.h"
#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"

namespace pack_test {
namespace {

TEST(WindowsNames, AcceptsOrdinaryNames) {
  for (const char16_t* name : {u"app.exe", u"CONSOLE.txt", u"com10", u"LPT", u"nul_file",
                               u".hidden", u"a b", u"\u00e9t\u00e9", u"COM1x.txt", u"x.CON"}) {
    EXPECT_EQ("", pack::windows_name_problem(name)) << std::string(name, name + 3);
  }
}

TEST(WindowsNames, RejectsWhatWindowsCannotStore) {
  const char16_t* reserved[] = {u"CON",      u"con",      u"Nul.txt",   u"aux.tar.gz",
                                u"PRN",      u"COM1",     u"com9.log",  u"LPT5",
                                u"lpt1.dll", u"NUL .txt", u"COM\u00b9", u"CONIN$"};
  for (const char16_t* name : reserved) {
    EXPECT_NE(std::string::npos, pack::windows_name_problem(name).find("reserved"));
  }
  for (const char16_t* name : {u"dot.", u"space ", u"a<b", u"a>b", u"a:b", u"a\"b", u"a|b", u"a?b",
                               u"a*b", u"a\\b", u"tab\there", u"\x1f"}) {
    EXPECT_NE("", pack::windows_name_problem(name));
  }
}

TEST(WindowsNames, CaseFoldingMatchesBeyondAscii) {
  EXPECT_EQ(pack::fold_case(u"Readme.TXT"), pack::fold_case(u"README.txt"));
  EXPECT_EQ(pack::fold_case(u"\u00e9t\u00e9"), pack::fold_case(u"\u00c9T\u00c9"));
  EXPECT_NE(pack::fold_case(u"a"), pack::fold_case(u"b"));
}

TEST(Utf8, StrictDecoding) {
  EXPECT_EQ(u"a\u00e9\u4e2d\U0001F600",
            pack::utf8_to_utf16("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"));
  for (const char* bad :
       {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
    EXPECT_FALSE(pack::utf8_to_utf16(bad).has_value()) << bad;
  }
  EXPECT_EQ("a\xC3\xA9\xF0\x9F\x98\x80", pack::utf16_to_utf8(u"a\u00e9\U0001F600"));
}

TEST(Version, AcceptsFourNumbersAndWritesThemCanonically) {
  auto version = pack::parse_version("1.017.4.65535");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ((pack::VersionNumber{1, 17, 4, 65535}), *version);
  EXPECT_EQ("1.17.4.65535", pack::format_version(*version));
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.65536", "1..3.4", "a.b.c.d", "-1.2.3.4",
                          "1.2.3.4 ", " 1.2.3.4", "1.2.3.4.", "1.2.3.0000000001", "+1.2.3.4"}) {
    EXPECT_FALSE(pack::parse_version(bad).has_value()) << bad;
  }
}

TEST(Spec, AcceptsEveryPlaceholderInAnyCase) {
  EXPECT_EQ("", pack::spec_problem(u"{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008"));
  EXPECT_EQ("", pack::spec_problem(u"{temp}\\{Program_Base}-{pid}-{RANDOM}{time}{TIME_US}"));
  EXPECT_EQ("", pack::spec_problem(u"{HOME}\\{CACHE_DIR}\\{PROGRAM}{VERSION}{FILE_VERSION}"
                                   u"{PRODUCT_VERSION}"));
}

TEST(Spec, RejectsWhatTheLauncherCannotExpand) {
  EXPECT_NE(std::string::npos, pack::spec_problem(u"{FOO}").find("unknown placeholder {FOO}"));
  EXPECT_NE(std::string::npos, pack::spec_problem(u"x{}y").find("unknown placeholder {}"));
  EXPECT_NE(std::string::npos, pack::spec_problem(u"abc{TEMP").find("not closed"));
  // The launcher would silently drop "A" here.
  EXPECT_NE(std::string::npos, pack::spec_problem(u"x{A{PID}").find("not closed"));
  EXPECT_NE("", pack::spec_problem(u"a}b"));
  EXPECT_NE("", pack::spec_problem(u""));
  EXPECT_NE("", pack::spec_problem(std::u16string(4096, u'a')));
  EXPECT_NE("", pack::spec_problem(u"{T\u00c9MP}"));
}

// Windows takes a template that is not a full path from the launcher's current folder.
TEST(Spec, TellsWhereARelativeTemplateUnpacks) {
  for (const char16_t* full :
       {u"{PROGRAM_DIR}\\x", u"{temp}\\x", u"{Cache_Dir}", u"{HOME}\\a", u"{PROGRAM}.d",
        u"{PROGRAM_BASE}-files", u"C:\\x", u"d:/x", u"\\\\server\\share\\x", u"//server/share"}) {
    EXPECT_EQ("", pack::relative_spec_note(full)) << pack::utf16_to_utf8(full);
  }
  EXPECT_EQ("below the folder it is started from, which need not be its own",
            pack::relative_spec_note(u"unpacked\\{VERSION}"));
  EXPECT_EQ("below the folder it is started from, which need not be its own",
            pack::relative_spec_note(u"{VERSION}\\{TEMP}"));
  EXPECT_EQ("below the folder it is started from on drive D:", pack::relative_spec_note(u"D:x"));
  EXPECT_EQ("at the top of the drive it is started from", pack::relative_spec_note(u"\\x"));
}

TEST(Checksum, ZeroIsStoredAsOneOnlyForNonEmptyData) {
  EXPECT_EQ(1u, pack::stored_checksum(0, 10));
  EXPECT_EQ(0u, pack::stored_checksum(0, 0));
  EXPECT_EQ(0x1234u, pack::stored_checksum(0x1234, 10));
  EXPECT_EQ(1u, pack::stored_checksum(1, 10));
}

}  // namespace
}  // namespace pack_test
