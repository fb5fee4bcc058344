#include "support/trace_lines.h"

#include "paths/cache_dir.h"
#include "support/constants_record.h"

void trace_opening(const Trace& trace, const wchar_t* product) {
  if (!tracing(trace)) return;
  wchar_t launcher[launcher_path_capacity];
  DWORD length = GetModuleFileNameW(nullptr, launcher, launcher_path_capacity);
  if (length == 0 || length >= launcher_path_capacity) launcher[0] = 0;
  SYSTEMTIME now;
  GetLocalTime(&now);
  // The image's manifest claims the systems up to the latest, so the version is the true one.
  OSVERSIONINFOW system = {};
  system.dwOSVersionInfoSize = sizeof system;
  GetVersionExW(&system);
  // The stub is built with the tool that carries it, so its version is the tool's.
  trace_format(trace,
               "start %d-%2-%2 %2:%2:%2, %w, product %w, made by kovran-onefile " KOVRAN_VERSION
               ", Windows %d.%d.%d",
               int64_t{now.wYear}, int64_t{now.wMonth}, int64_t{now.wDay}, int64_t{now.wHour},
               int64_t{now.wMinute}, int64_t{now.wSecond}, launcher, product,
               int64_t{system.dwMajorVersion}, int64_t{system.dwMinorVersion},
               int64_t{system.dwBuildNumber});
}

void trace_record(const LaunchState& state) {
  const char* reuse = state.reuse == ReuseRule::stamp ? ", reuse stamp" : ", reuse crc";
  const char* progress = state.shows_progress ? ", progress" : "";
  const char* kind = state.console_launcher ? ", console" : ", gui";
  if (state.prune_after_days == prune_never) {
    trace_format(state.trace, "record layout %d%s%s, prune never%s", int64_t{state.record_layout},
                 reuse, progress, kind);
  } else {
    trace_format(state.trace, "record layout %d%s%s, prune after %d days%s",
                 int64_t{state.record_layout}, reuse, progress, int64_t{state.prune_after_days},
                 kind);
  }
}

void trace_target(const LaunchState& state) {
  trace_format(state.trace, "target %w from %w%s%w", state.target_directory, state.target_template,
               state.cache_dir_moved ? ", {CACHE_DIR} from " : "",
               state.cache_dir_moved ? cache_dir_variable : nullptr);
}

void trace_folder_failed(const Trace* trace, const wchar_t* folder, DWORD error) {
  if (trace != nullptr) trace_format(*trace, "folder not made: %w%e", folder, error);
}

void trace_build_folder(const Trace& trace, DWORD marker_error) {
  if (marker_error == ERROR_SUCCESS) {
    trace_format(trace, "build folder, in-use marker held");
  } else {
    trace_format(trace, "build folder, in-use marker not held%e", marker_error);
  }
}

void trace_index(const Trace& trace, IndexVerdict verdict) {
  trace_format(trace, verdict == IndexVerdict::used   ? "index used"
                      : verdict == IndexVerdict::none ? "index: none"
                      : verdict == IndexVerdict::checksum_differs
                          ? "index ignored: checksum differs"
                          : "index ignored: counts outside it");
}

void trace_listing(const Trace& trace, int64_t current, int64_t count) {
  if (current == count) {
    trace_format(trace, "listing: every file current by stamp");
  } else {
    trace_format(trace, "listing: %d of %d current by stamp", current, count);
  }
}

void trace_lock_wait(const Trace* trace, int64_t ms, bool abandoned) {
  if (trace != nullptr)
    trace_format(*trace, "lock after %d ms%s", ms, abandoned ? ", abandoned" : "");
}

void trace_file(const Trace& trace, FileFate fate, const wchar_t* name, int64_t number) {
  if (!tracing_files(trace)) {
    if (fate != FileFate::repaired || number > repaired_named + 1) return;
    if (number == repaired_named + 1) {
      trace_format(trace, "repaired: more, named with KOVRAN_ONEFILE_TRACE_FILES=1");
      return;
    }
  }
  trace_format(trace, "%s %w",
               fate == FileFate::kept      ? "kept"
               : fate == FileFate::written ? "written"
                                           : "repaired",
               name);
}

void trace_file_counts(const Trace& trace, int64_t kept, int64_t written, int64_t repaired) {
  trace_format(trace, "files: %d kept, %d written, %d repaired", kept, written, repaired);
}

void trace_other_build(const Trace& trace, const wchar_t* leaf, const char* outcome) {
  trace_format(trace, "other build %w%s", leaf, outcome);
}

void trace_other_builds(const Trace& trace, int64_t found) {
  trace_format(trace, "other builds: %d found, none old enough", found);
}

void trace_leftover(const Trace& trace, const wchar_t* leaf, bool removed) {
  trace_format(trace, "earlier removal %w %s", leaf, removed ? "finished" : "left in part");
}

void trace_program(const Trace& trace, const wchar_t* path, const wchar_t* command_line) {
  trace_format(trace, "program %w", path);
  trace_format(trace, "command line %w", command_line);
}

void trace_program_status(const Trace& trace, uint32_t status) {
  trace_format(trace, "program status %x", status);
}

void trace_failure(const Trace& trace, int status, const wchar_t* text) {
  trace_format(trace, "ended, status %x: %s%w", static_cast<uint32_t>(status),
               text != nullptr ? "" : "cancelled", text);
}
