#include "support/failure_text.h"

#include <windows.h>

#include "support/bounded.h"
#include "support/decimal.h"

namespace {

constexpr DWORD message_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD english_us = 0x409;

// " ([Error N] description)": the code in signed decimal, as a 32-bit long prints, and the
// system's text without its line end.
void append_system_error(wchar_t* text, unsigned long error, size_t capacity) {
  append_ascii_truncated(text, " ([Error ", capacity);
  append_decimal(text, static_cast<int32_t>(error), capacity);
  append_ascii_truncated(text, "] ", capacity);
  append_system_description(text, error, capacity);
  append_ascii_truncated(text, ")", capacity);
}

}  // namespace

void append_system_description(wchar_t* text, unsigned long error, size_t capacity) {
  wchar_t* description = nullptr;
  DWORD length = FormatMessageW(message_flags, nullptr, error, english_us,
                                reinterpret_cast<wchar_t*>(&description), 0, nullptr);
  if (length == 0 || description == nullptr) {
    append_ascii_truncated(text, "unknown error", capacity);
    return;
  }
  while (length > 0 && (description[length - 1] == L'\r' || description[length - 1] == L'\n')) {
    description[--length] = 0;
  }
  append_truncated(text, description, capacity);
  LocalFree(description);
}

void compose_failure(const Failure& failure, wchar_t* text, size_t capacity) {
  text[0] = 0;
  if (failure.before != nullptr) append_ascii_truncated(text, failure.before, capacity);
  if (failure.subject != nullptr) append_truncated(text, failure.subject, capacity);
  if (failure.after != nullptr) append_ascii_truncated(text, failure.after, capacity);
  if (failure.limit != 0) {
    append_ascii_truncated(text, " is too long: ", capacity);
    append_decimal(text, static_cast<int64_t>(failure.length), capacity);
    append_ascii_truncated(text, " units, at most ", capacity);
    append_decimal(text, static_cast<int64_t>(failure.limit), capacity);
    append_ascii_truncated(text, ".", capacity);
  }
  if (failure.has_system_error) append_system_error(text, failure.system_error, capacity);
  if (failure.note != nullptr) append_ascii_truncated(text, failure.note, capacity);
}
