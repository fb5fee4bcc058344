#pragma once
// How the test probes end on a failure: as launcher_main does, its words on the launcher's
// streams and its status.
#include "support/failure.h"
#include "support/failure_report.h"
#include "support/failure_text.h"
#include "support/own_image.h"

inline int report_failure(const Failure& failure) {
  if (failure.before == nullptr) return failure.status;
  static wchar_t text[failure_text_capacity];
  compose_failure(failure, text, failure_text_capacity);
  write_failure(failure, text, is_console_launcher());
  return failure.status;
}
