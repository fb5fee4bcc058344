#include "launcher/launch_trace.h"

#include "support/constants_record.h"

void trace_record(const LaunchState& state) {
  TraceLine line;
  trace_start(line, "record layout ");
  trace_add_number(line, state.record_layout);
  trace_add(line, state.reuses_by_stamp ? ", reuse by stamp" : ", reuse by CRC-32");
  trace_add(line, state.shows_progress ? ", unpack progress" : ", no unpack progress");
  if (state.prune_after_days == prune_never) {
    trace_add(line, ", other builds kept for ever");
  } else {
    trace_add(line, ", other builds removed after ");
    trace_add_number(line, state.prune_after_days);
    trace_add(line, " days");
  }
  trace_add(line, state.console_launcher ? ", console launcher" : ", GUI launcher");
  trace_end(state.trace, line);
}

void trace_target(const LaunchState& state) {
  TraceLine line;
  trace_start(line, "target ");
  trace_add(line, state.target_directory);
  trace_add(line, " from template ");
  trace_add(line, state.target_template);
  if (state.cache_dir_moved) trace_add(line, ", {CACHE_DIR} from KOVRAN_ONEFILE_CACHE_DIR");
  trace_end(state.trace, line);
}

void trace_build_folder(const LaunchState& state, bool marker_held) {
  trace_text(state.trace,
             marker_held ? "build folder of the default layout, in-use marker held"
                         : "build folder of the default layout, in-use marker not held",
             nullptr);
}

void trace_index(const LaunchState& state, IndexVerdict verdict) {
  const char* text = verdict == IndexVerdict::used ? "index of entries used"
                     : verdict == IndexVerdict::none
                         ? "no index of entries: every file is checked by its CRC-32"
                     : verdict == IndexVerdict::checksum_differs
                         ? "index of entries ignored: its own checksum differs"
                         : "index of entries ignored: its counts reach outside it";
  trace_text(state.trace, text, nullptr);
}

void trace_failure(const LaunchState& state, int status, const wchar_t* text) {
  TraceLine line;
  trace_start(line, text != nullptr ? "failed, status " : "cancelled, status ");
  trace_add_number(line, static_cast<uint32_t>(status));
  if (text != nullptr) {
    trace_add(line, ": ");
    trace_add(line, text);
  }
  trace_end(state.trace, line);
}
