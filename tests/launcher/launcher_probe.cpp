// A GUI-subsystem program like the launcher, which runs one scenario named on its
// command line, so that tests can watch how a real process ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/hand_off.h"
#include "support/abnormal_end.h"
#include "support/bounded.h"
#include "support/environment.h"
#include "tests/harness/probe_report.h"

namespace {

void print_variable(const char* name) {
  wchar_t* value = get_env_w(name);
  printf("%s=%ls\n", name, value != nullptr ? value : L"<unset>");
}

int run(const wchar_t* scenario, const wchar_t* argument) {
  wchar_t wide[8] = L"";
  char narrow[8] = "";
  if (wcscmp(scenario, L"fatal-error") == 0)
    return report_failure(catalogued_failure(FailureKind::no_header));
  if (wcscmp(scenario, L"report-os-error") == 0) {
    return report_failure(
        with_system_error(catalogued_failure(FailureKind::launch), wcstoul(argument, nullptr, 0)));
  }
  if (wcscmp(scenario, L"spec-error") == 0) {
    return report_failure(catalogued_failure(FailureKind::target_not_expanded, argument));
  }
  if (wcscmp(scenario, L"abort") == 0) abort();
  if (wcscmp(scenario, L"copy") == 0) copy_bounded(wide, argument, 8);
  if (wcscmp(scenario, L"append-null") == 0) append_bounded(wide, nullptr, 8);
  if (wcscmp(scenario, L"append-char") == 0) {
    copy_bounded(wide, argument, 8);
    append_char_bounded(wide, L'x', 8);
  }
  if (wcscmp(scenario, L"copy-narrow-same") == 0) {
    memcpy(narrow, "abcdefg", 8);
    narrow[wcstol(argument, nullptr, 10)] = 0;
    copy_bounded_narrow(narrow, narrow, wcstol(argument, nullptr, 10));
  }
  if (wcscmp(scenario, L"copy-prefix") == 0)
    copy_prefix_bounded_narrow(narrow, "abcdefgh", wcstol(argument, nullptr, 10), 8);
  if (wcscmp(scenario, L"set-env-name") == 0) {
    char name[64] = "";
    for (long i = 0; i < wcstol(argument, nullptr, 10); ++i) name[i] = 'N';
    set_env_w(name, L"1");
  }
  if (wcscmp(scenario, L"require-digits") == 0) require_digits_w(argument);
  if (wcscmp(scenario, L"require-digits-null") == 0) require_digits_w(nullptr);
  if (wcscmp(scenario, L"prepare-environment") == 0) {
    prepare_environment();
    printf("pid=%lu\n", GetCurrentProcessId());
    print_variable("KOVRAN_ONEFILE_START");
    print_variable("KOVRAN_ONEFILE_TIME_US");
    print_variable("KOVRAN_ONEFILE_RANDOM");
    print_variable("KOVRAN_ONEFILE_PARENT");
  }
  puts("returned");
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  silence_abnormal_end();
  if (__argc < 2) return 100;
  return run(__wargv[1], __argc > 2 ? __wargv[2] : L"");
}
