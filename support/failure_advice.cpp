#include "support/failure_advice.h"

#include <cwchar>

#include "support/bounded.h"
#include "support/decimal.h"
#include "support/failure_text.h"

namespace {

// The system's reasons are short; one longer than this is cut.
constexpr size_t reason_capacity = 1024;

bool is_digit(wchar_t unit) { return unit >= L'0' && unit <= L'9'; }

bool names_first_insert(const wchar_t* description) {
  for (const wchar_t* at = wcsstr(description, L"%1"); at != nullptr; at = wcsstr(at + 2, L"%1")) {
    if (!is_digit(at[2])) return true;
  }
  return false;
}

void append_folder_advice(const LaunchState& state, wchar_t* text, size_t capacity) {
  bool from_variable = state.cache_dir_moved;
  append_ascii_truncated(text, from_variable ? cache_folder_advice_before : folder_advice_before,
                         capacity);
  append_truncated(text, state.target_directory, capacity);
  append_ascii_truncated(text, from_variable ? cache_folder_advice_after : folder_advice_after,
                         capacity);
}

void append_command_line_advice(const Failure& failure, const LaunchState& state, wchar_t* text,
                                size_t capacity) {
  append_ascii_truncated(text, command_line_advice_before, capacity);
  append_truncated(text, state.launcher_path, capacity);
  append_ascii_truncated(text, command_line_advice_middle, capacity);
  append_decimal(text, static_cast<int64_t>(failure.limit), capacity);
  append_ascii_truncated(text, command_line_advice_after, capacity);
}

// The system's reason with the program's path where it names "%1"; a reason that does not
// name it follows the path.
void append_start_reason(const Failure& failure, const LaunchState& state, wchar_t* text,
                         size_t capacity) {
  wchar_t reason[reason_capacity] = L"";
  append_system_description(reason, failure.system_error, reason_capacity);
  if (!names_first_insert(reason)) {
    append_ascii_truncated(text, start_reason_before, capacity);
    append_truncated(text, state.child_path, capacity);
    append_ascii_truncated(text, start_reason_middle, capacity);
  }
  append_filled(text, reason, state.child_path, capacity);
}

}  // namespace

void append_filled(wchar_t* text, const wchar_t* description, const wchar_t* value,
                   size_t capacity) {
  size_t length = wcslen(text);
  auto put = [&](wchar_t unit) {
    if (length + 1 < capacity) text[length++] = unit;
  };
  for (const wchar_t* at = description; *at != 0; ++at) {
    if (at[0] == L'%' && at[1] == L'1' && !is_digit(at[2])) {
      for (const wchar_t* unit = value; *unit != 0; ++unit) put(*unit);
      ++at;
    } else {
      put(*at);
    }
  }
  text[length] = 0;
}

void append_advice(const Failure& failure, const LaunchState& state, wchar_t* text,
                   size_t capacity) {
  Advice advice = failure_entry(failure.kind).advice;
  if (advice == Advice::none) return;
  append_ascii_truncated(text, "\r\n\r\n", capacity);
  switch (advice) {
    case Advice::get_again:
      append_ascii_truncated(text, get_again_advice, capacity);
      break;
    case Advice::writable_folder:
      append_folder_advice(state, text, capacity);
      break;
    case Advice::shorter_command_line:
      append_command_line_advice(failure, state, text, capacity);
      break;
    case Advice::start_reason:
      append_start_reason(failure, state, text, capacity);
      break;
    case Advice::none:
      break;
  }
}
