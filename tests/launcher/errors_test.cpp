#include <gtest/gtest.h>

#include "tests/launcher/probe.h"

namespace {

TEST(FatalError, WritesOneLineToStandardOutputAndExitsWithTwo) {
  ProcessResult result = run_probe(L"fatal-error");
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "Error, couldn't find attached data header.\n");
  EXPECT_EQ(result.err, "");
}

TEST(ReportOsError, WritesTheSystemTextWithoutLineBreaksToStandardError) {
  ProcessResult result = run_probe(L"report-os-error", L"2");
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  ASSERT_EQ(result.err.rfind("Error, couldn't launch child ([Error 2] ", 0), 0u) << result.err;
  // One line: the description's own CR LF is gone; the only line end is the format's,
  // which the runtime's text-mode stream writes as CR LF.
  EXPECT_EQ(result.raw_err.find('\r'), result.raw_err.size() - 2);
  EXPECT_EQ(result.raw_err.find('\n'), result.raw_err.size() - 1);
  EXPECT_EQ(result.raw_err.substr(result.raw_err.size() - 3), ")\r\n");
}

TEST(ReportOsError, PrintsCodesWithTheTopBitSetAsNegativeNumbers) {
  ProcessResult result = run_probe(L"report-os-error", L"0xC0000005");
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.err.rfind("Error, couldn't launch child ([Error -1073741819] ", 0), 0u)
      << result.err;
}

TEST(ReportOsError, KeepsTheReportOnOneLineWhenTheSystemHasNoText) {
  ProcessResult result = run_probe(L"report-os-error", L"0x2FFFFFF0");
  EXPECT_EQ(result.err, "Error, couldn't launch child ([Error 805306352] unknown error)\n");
}

TEST(FatalSpecError, NamesTheTemplateOnStandardErrorAndEndsWithTheAbnormalStatus) {
  ProcessResult result =
      run_probe(L"spec-error", L"{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008");
  EXPECT_EQ(result.exit_code, abnormal_status);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(
      result.err,
      "Error, couldn't runtime expand spec '{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008'.\n");
}

// Characters the output code page cannot hold may change, but nothing after them is
// lost, also past the pieces in which long texts are converted.
TEST(FatalSpecError, KeepsTheWholeTextWhateverItsCharacters) {
  std::wstring spec = L"{PROGRAM_DIR}\\" + std::wstring(497, L'a') +
                      L"\xd83d\xde00\\\x0418\x0432\x0430\x043d \x4e2d\x6587\\tail";
  ProcessResult result = run_probe(L"spec-error", spec);
  EXPECT_EQ(result.exit_code, abnormal_status);
  std::string before =
      "Error, couldn't runtime expand spec '{PROGRAM_DIR}\\" + std::string(497, 'a');
  std::string after = "\\tail'.\n";
  EXPECT_EQ(result.err.rfind(before, 0), 0u) << result.err;
  ASSERT_GE(result.err.size(), before.size() + 8 + after.size()) << result.err;
  EXPECT_EQ(result.err.substr(result.err.size() - after.size()), after) << result.err;
}

TEST(Abort, EndsAtOnceWithoutAnyMessageOrDialog) {
  ProcessOptions options;
  options.timeout_ms = 20000;  // a dialog would hang until this runs out
  ProcessResult result = run_probe(L"abort", L"", options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, abnormal_status);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
}

}  // namespace
