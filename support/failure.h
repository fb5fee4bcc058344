#pragma once
// A start's failure as a value. Made where it arises, handed back to launcher_main, and
// reported there once (support/failure_report.h). Its one line reads
//   before [subject after] [" is too long: LENGTH units, at most LIMIT."]
//   [" ([Error N] description)"] [note]
#include <cstdint>

#include "support/failure_catalogue.h"

struct Failure {
  int status;  // 0 while nothing failed
  FailureKind kind;
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

// A failure of the catalogue's (support/failure_catalogue.h), with the subject it quotes.
inline Failure catalogued_failure(FailureKind kind, const wchar_t* subject = nullptr) {
  const FailureEntry& entry = failure_entry(kind);
  Failure failure = {};
  failure.status = entry.status;
  failure.kind = kind;
  failure.before = entry.before;
  failure.subject = subject;
  failure.after = entry.after;
  failure.plain = entry.plain;
  return failure;
}

inline Failure with_system_error(Failure failure, unsigned long error) {
  failure.system_error = error;
  failure.has_system_error = true;
  return failure;
}

// " is too long: length units, at most limit." after the catalogue's words.
inline Failure too_long_failure(FailureKind kind, const wchar_t* subject, uint64_t length,
                                uint64_t limit) {
  Failure failure = catalogued_failure(kind, subject);
  failure.length = length;
  failure.limit = limit;
  return failure;
}

// A start the user cancelled says nothing.
inline Failure cancelled_failure() {
  Failure failure = {};
  failure.status = interrupted_status;
  failure.kind = FailureKind::cancelled;
  return failure;
}
