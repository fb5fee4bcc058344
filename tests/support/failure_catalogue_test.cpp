// The failures' words, which scripts and support match byte for byte, and the sentences the
// failure window adds for the user.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/failure_advice.h"
#include "support/failure_text.h"
#include "tests/harness/process.h"

namespace {

// A code the system has no description for: its text is the same on every system.
constexpr unsigned long undescribed = 0x2D2D2D2D;

std::wstring composed(const Failure& failure) {
  std::wstring text(failure_text_capacity, L'\0');
  compose_failure(failure, text.data(), failure_text_capacity);
  return text.c_str();
}

Failure noted(Failure failure, const char* note) {
  failure.note = note;
  return failure;
}

TEST(FailureCatalogue, EveryKindKeepsItsWordsAndStatus) {
  struct Case {
    Failure failure;
    const wchar_t* line;
    int status;
  };
  const Case cases[] = {
      {catalogued_failure(FailureKind::damaged), L"Error, couldn't decode attached data.", 2},
      {catalogued_failure(FailureKind::no_header), L"Error, couldn't find attached data header.",
       2},
      {catalogued_failure(FailureKind::out_of_memory), L"Error, couldn't allocate memory.", 2},
      {catalogued_failure(FailureKind::console_handler),
       L"Error, failed to register signal handler.", 2},
      {with_system_error(catalogued_failure(FailureKind::launcher_path_unreadable), undescribed),
       L"Error, couldn't read the launcher's path ([Error 757935405] unknown error)", 2},
      {too_long_failure(FailureKind::launcher_path_too_long, nullptr, 5000, 4096),
       L"Error, the launcher's path is too long: 5000 units, at most 4096.", 3},
      {catalogued_failure(FailureKind::cache_dir_relative, L"cache"),
       L"Error, KOVRAN_ONEFILE_CACHE_DIR must be an absolute path, not 'cache'.", 2},
      {too_long_failure(FailureKind::cache_dir_too_long, nullptr, 40000, 4095),
       L"Error, KOVRAN_ONEFILE_CACHE_DIR is too long: 40000 units, at most 4095.", 3},
      {too_long_failure(FailureKind::target_too_long, L"{TEMP}\\x", 5000, 4095),
       L"Error, the target directory '{TEMP}\\x' is too long: 5000 units, at most 4095.", 3},
      {catalogued_failure(FailureKind::target_not_expanded, L"{NOPE}"),
       L"Error, couldn't runtime expand spec '{NOPE}'.", 3},
      {too_long_failure(FailureKind::target_full_path_too_long, L"x", 4100, 4095),
       L"Error, the target directory 'x' as a full path is too long: 4100 units, at most 4095.", 3},
      {with_system_error(catalogued_failure(FailureKind::target_not_full_path, L"x"), undescribed),
       L"Error, the target directory 'x' cannot be made a full path ([Error 757935405] unknown "
       L"error)",
       3},
      {noted(with_system_error(catalogued_failure(FailureKind::open_for_writing, L"C:\\t\\a.dll"),
                               undescribed),
             cache_dir_note),
       L"Error, failed to open 'C:\\t\\a.dll' for writing. ([Error 757935405] unknown error) The "
       L"folder comes from KOVRAN_ONEFILE_CACHE_DIR.",
       2},
      {with_system_error(catalogued_failure(FailureKind::write), 0xFFFFFFFF),
       L"Error, couldn't unpack file to target path. ([Error -1] unknown error)", 2},
      {too_long_failure(FailureKind::entry_path_too_long, L"d\\e.txt", 4200, 4095),
       L"Error, the path of 'd\\e.txt' below the target directory is too long: 4200 units, at "
       L"most 4095.",
       3},
      {too_long_failure(FailureKind::command_line_too_long, nullptr, 32780, 32766),
       L"Error, the command line for the program is too long: 32780 units, at most 32766.", 3},
      {with_system_error(catalogued_failure(FailureKind::launch), undescribed),
       L"Error, couldn't launch child ([Error 757935405] unknown error)", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(composed(c.failure), c.line);
    EXPECT_EQ(c.failure.status, c.status) << narrow_utf8(c.line);
  }
  EXPECT_EQ(cancelled_failure().status, static_cast<int>(0xC000013A));
  EXPECT_EQ(cancelled_failure().before, nullptr) << "a cancel says nothing";
}

class FailureAdvice : public ::testing::Test {
 protected:
  void SetUp() override {
    wcscpy(state.launcher_path, L"C:\\Downloads\\app.exe");
    wcscpy(state.target_directory, L"C:\\Users\\u\\AppData\\Local\\kovran-onefile\\app-0123");
    wcscpy(state.child_path, L"C:\\Users\\u\\AppData\\Local\\kovran-onefile\\app-0123\\app.exe");
  }
  // What the window shows: the exact line, then a blank line and the advice.
  std::wstring advice(const Failure& failure) {
    std::wstring text(failure_text_capacity, L'\0');
    compose_failure(failure, text.data(), failure_text_capacity);
    std::wstring line = text.c_str();
    append_advice(failure, state, text.data(), failure_text_capacity);
    std::wstring shown = text.c_str();
    EXPECT_EQ(shown.substr(0, line.size()), line) << "the message is not kept exact";
    if (shown.size() == line.size()) return L"";
    EXPECT_EQ(shown.substr(line.size(), 4), L"\r\n\r\n");
    return shown.substr(line.size() + 4);
  }
  LaunchState state = {};
};

TEST_F(FailureAdvice, EachKindTheUserCanMendSaysHow) {
  const std::wstring folder = state.target_directory;
  struct Case {
    Failure failure;
    bool from_variable;
    std::wstring sentence;
  };
  const Case cases[] = {
      {catalogued_failure(FailureKind::damaged), false,
       L"This file is damaged or incomplete: download or copy it again."},
      {catalogued_failure(FailureKind::no_header), false,
       L"This file is damaged or incomplete: download or copy it again."},
      {with_system_error(catalogued_failure(FailureKind::open_for_writing, L"x"), 5), false,
       L"Make sure you can write to the folder " + folder + L" and that its disk has room."},
      {with_system_error(catalogued_failure(FailureKind::write), 112), false,
       L"Make sure you can write to the folder " + folder + L" and that its disk has room."},
      {with_system_error(catalogued_failure(FailureKind::open_for_writing, L"x"), 3), true,
       L"The folder " + folder +
           L" comes from KOVRAN_ONEFILE_CACHE_DIR: unset that variable or point it at a folder "
           L"you can write to."},
      {too_long_failure(FailureKind::command_line_too_long, nullptr, 32780, 32766), false,
       L"Shorten the command line: the launcher's own path, C:\\Downloads\\app.exe, counts "
       L"towards the limit of 32766 characters."},
      // Nothing the user of the program can do differently.
      {catalogued_failure(FailureKind::out_of_memory), false, L""},
      {catalogued_failure(FailureKind::target_not_expanded, L"{X}"), false, L""},
  };
  for (const Case& c : cases) {
    state.cache_dir_moved = c.from_variable;
    EXPECT_EQ(advice(c.failure), c.sentence) << narrow_utf8(composed(c.failure));
  }
}

// The system's reason, with the program's path where it names "%1"; a reason without it
// after the path.
TEST_F(FailureAdvice, AProgramThatCannotStartGetsTheSystemsReasonFilledIn) {
  const std::wstring program = state.child_path;
  std::wstring bad_format = advice(with_system_error(catalogued_failure(FailureKind::launch), 193));
  EXPECT_EQ(bad_format.find(L"%1"), std::wstring::npos) << narrow_utf8(bad_format);
  EXPECT_NE(bad_format.find(program), std::wstring::npos) << narrow_utf8(bad_format);
  EXPECT_EQ(bad_format.find(L"Windows could not start"), std::wstring::npos);

  std::wstring not_found = advice(with_system_error(catalogued_failure(FailureKind::launch), 2));
  EXPECT_EQ(not_found.rfind(L"Windows could not start " + program + L": ", 0), 0u)
      << narrow_utf8(not_found);
  EXPECT_GT(not_found.size(), program.size() + 26) << "no reason after the path";
}

TEST(FailureAdviceInserts, EachFirstInsertIsFilledAndOthersStay) {
  struct Case {
    const wchar_t* description;
    const wchar_t* filled;
  };
  const Case cases[] = {
      {L"Bad EXE format for %1.", L"Bad EXE format for C:\\a.exe."},
      {L"%1 is not a valid Win32 application.", L"C:\\a.exe is not a valid Win32 application."},
      {L"%1 or %1", L"C:\\a.exe or C:\\a.exe"},
      {L"%2 needs %1", L"%2 needs C:\\a.exe"},
      {L"insert %10 is another", L"insert %10 is another"},
      {L"no insert", L"no insert"},
      {L"ends in %", L"ends in %"},
  };
  for (const Case& c : cases) {
    wchar_t text[64] = L"> ";
    append_filled(text, c.description, L"C:\\a.exe", 64);
    EXPECT_EQ(std::wstring(text), std::wstring(L"> ") + c.filled);
  }
  wchar_t small[12] = L"";
  append_filled(small, L"at %1 end", L"C:\\long\\path.exe", 12);
  EXPECT_STREQ(small, L"at C:\\long\\") << "what does not fit is left out";
}

}  // namespace
