#include "launcher/launch_trace.h"

#include "paths/cache_dir.h"
#include "support/constants_record.h"

void trace_record(const LaunchState& state) {
  TraceLine line;
  trace_start(line, "record layout ");
  trace_add_number(line, state.record_layout);
  trace_add(line, state.reuse == ReuseRule::stamp ? ", reuse stamp" : ", reuse crc");
  if (state.shows_progress) trace_add(line, ", progress");
  trace_add(line, ", prune ");
  if (state.prune_after_days == prune_never) {
    trace_add(line, "never");
  } else {
    trace_add(line, "after ");
    trace_add_number(line, state.prune_after_days);
    trace_add(line, " days");
  }
  trace_add(line, state.console_launcher ? ", console" : ", gui");
  trace_end(state.trace, line);
}

void trace_target(const LaunchState& state) {
  TraceLine line;
  trace_start(line, "target ");
  trace_add(line, state.target_directory);
  trace_add(line, " from ");
  trace_add(line, state.target_template);
  if (state.cache_dir_moved) {
    trace_add(line, ", {CACHE_DIR} from ");
    trace_add(line, cache_dir_variable);
  }
  trace_end(state.trace, line);
}

void trace_build_folder(const LaunchState& state, bool marker_held) {
  TraceLine line;
  trace_start(line, "build folder, in-use marker ");
  trace_add(line, marker_held ? "held" : "not held");
  trace_end(state.trace, line);
}

void trace_index(const LaunchState& state, IndexVerdict verdict) {
  const char* text = verdict == IndexVerdict::used   ? "index used"
                     : verdict == IndexVerdict::none ? "index: none"
                     : verdict == IndexVerdict::checksum_differs
                         ? "index ignored: checksum differs"
                         : "index ignored: counts outside it";
  trace_text(state.trace, text, nullptr);
}

void trace_failure(const LaunchState& state, int status, const wchar_t* text) {
  TraceLine line;
  trace_start(line, "ended, status ");
  trace_add_number(line, static_cast<uint32_t>(status));
  trace_add(line, text != nullptr ? ": " : ": cancelled");
  if (text != nullptr) trace_add(line, text);
  trace_end(state.trace, line);
}
