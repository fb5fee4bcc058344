#pragma once
// A start's failure as a value. Made where it arises, handed back to launcher_main, and
// reported there once (support/failure_report.h). Its one line reads
//   before [subject after] [" is too long: LENGTH units, at most LIMIT."]
//   [" ([Error N] description)"] [note]
#include <cstdint>

// The exit statuses of a start that runs no program: its failures; abort()'s status, which
// over-long input from outside and a template that cannot be expanded have always ended
// with (scripts may test it); and a cancel's, what Ctrl-C gives a console program.
constexpr int failure_status = 2;
constexpr int abnormal_status = 3;
constexpr int interrupted_status = static_cast<int>(0xC000013A);

// What the launcher says of an archive that is not what its writer made.
constexpr char decode_failed_message[] = "Error, couldn't decode attached data.";

struct Failure {
  int status;  // 0 while nothing failed
  const char* before;
  const wchar_t* subject;  // quoted by before and after; lives to the report
  const char* after;
  uint64_t length;  // with limit != 0: the units that did not fit
  uint64_t limit;
  unsigned long system_error;
  bool has_system_error;
  // A GUI launcher has always written its plain messages (no subject, no system error) to
  // standard output.
  bool plain;
  const char* note;
};

constexpr Failure no_failure = {};

inline bool failed(const Failure& failure) { return failure.status != 0; }

inline Failure plain_failure(const char* text) {
  Failure failure = {};
  failure.status = failure_status;
  failure.before = text;
  failure.plain = true;
  return failure;
}

inline Failure system_failure(const char* text, unsigned long error) {
  Failure failure = {};
  failure.status = failure_status;
  failure.before = text;
  failure.system_error = error;
  failure.has_system_error = true;
  return failure;
}

inline Failure quoted_failure(const char* before, const wchar_t* subject, const char* after,
                              int status = failure_status) {
  Failure failure = {};
  failure.status = status;
  failure.before = before;
  failure.subject = subject;
  failure.after = after;
  return failure;
}

// what (with subject, when there is one) " is too long: length units, at most limit.";
// limit counts no terminator.
inline Failure too_long_failure(const char* what, const wchar_t* subject, const char* after,
                                uint64_t length, uint64_t limit) {
  Failure failure = quoted_failure(what, subject, after, abnormal_status);
  failure.length = length;
  failure.limit = limit;
  return failure;
}

// A start the user cancelled says nothing.
inline Failure cancelled_failure() {
  Failure failure = {};
  failure.status = interrupted_status;
  return failure;
}
