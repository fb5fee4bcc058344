#include "support/trace_lines.h"

#include "paths/cache_dir.h"
#include "support/constants_record.h"
#include "support/decimal.h"

namespace {

void add_padded(TraceLine& line, int64_t value, int digits) {
  wchar_t text[decimal_capacity];
  decimal_text(text, value, digits);
  trace_add(line, text);
}

// "2026-12-10 14:05:09", the user's local time.
void add_local_time(TraceLine& line) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  add_padded(line, now.wYear, 4);
  trace_add(line, "-");
  add_padded(line, now.wMonth, 2);
  trace_add(line, "-");
  add_padded(line, now.wDay, 2);
  trace_add(line, " ");
  add_padded(line, now.wHour, 2);
  trace_add(line, ":");
  add_padded(line, now.wMinute, 2);
  trace_add(line, ":");
  add_padded(line, now.wSecond, 2);
}

// The system's own version: GetVersionEx answers what the program's manifest claims.
void add_windows_version(TraceLine& line) {
  using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto get_version = reinterpret_cast<GetVersion>(
      ntdll != nullptr ? reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")) : nullptr);
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (get_version == nullptr || get_version(&version) != 0) {
    trace_add(line, "unknown");
    return;
  }
  trace_add_number(line, version.dwMajorVersion);
  trace_add(line, ".");
  trace_add_number(line, version.dwMinorVersion);
  trace_add(line, ".");
  trace_add_number(line, version.dwBuildNumber);
}

}  // namespace

void trace_opening(const Trace& trace, const wchar_t* product) {
  if (!tracing(trace)) return;
  wchar_t launcher[launcher_path_capacity];
  DWORD length = GetModuleFileNameW(nullptr, launcher, launcher_path_capacity);
  if (length == 0 || length >= launcher_path_capacity) launcher[0] = 0;
  TraceLine line;
  trace_start(line, "start ");
  add_local_time(line);
  trace_add(line, ", ");
  trace_add(line, launcher);
  trace_add(line, ", product ");
  trace_add(line, product);
  // The stub is built with the tool that carries it, so its version is the tool's.
  trace_add(line, ", made by kovran-onefile " KOVRAN_VERSION ", Windows ");
  add_windows_version(line);
  trace_end(trace, line);
}

void trace_record(const LaunchState& state) {
  if (!tracing(state.trace)) return;
  TraceLine line;
  trace_start(line, "record layout ");
  trace_add_number(line, state.record_layout);
  trace_add(line, state.reuses_by_stamp ? ", reuse stamp" : ", reuse crc");
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
  if (!tracing(state.trace)) return;
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

void trace_folder_failed(const Trace* trace, const wchar_t* folder, DWORD error) {
  if (trace == nullptr || !tracing(*trace)) return;
  TraceLine line;
  trace_start(line, "folder not made: ");
  trace_add(line, folder);
  trace_add_error(line, error);
  trace_end(*trace, line);
}

void trace_build_folder(const Trace& trace, DWORD marker_error) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, "build folder, in-use marker ");
  trace_add(line, marker_error == ERROR_SUCCESS ? "held" : "not held");
  if (marker_error != ERROR_SUCCESS) trace_add_error(line, marker_error);
  trace_end(trace, line);
}

void trace_index(const Trace& trace, IndexVerdict verdict) {
  const char* text = verdict == IndexVerdict::used   ? "index used"
                     : verdict == IndexVerdict::none ? "index: none"
                     : verdict == IndexVerdict::checksum_differs
                         ? "index ignored: checksum differs"
                         : "index ignored: counts outside it";
  trace_text(trace, text, nullptr);
}

void trace_listing(const Trace& trace, int64_t current, int64_t count) {
  if (!tracing(trace)) return;
  if (current == count) {
    trace_text(trace, "listing: every file current by stamp", nullptr);
    return;
  }
  TraceLine line;
  trace_start(line, "listing: ");
  trace_add_number(line, current);
  trace_add(line, " of ");
  trace_add_number(line, count);
  trace_add(line, " current by stamp");
  trace_end(trace, line);
}

void trace_lock_wait(const Trace* trace, int64_t ms, bool abandoned) {
  if (trace != nullptr)
    trace_number(*trace, "lock after ", ms, abandoned ? " ms, abandoned" : " ms");
}

void trace_file(const Trace& trace, FileFate fate, const wchar_t* name, int64_t number) {
  if (!tracing(trace)) return;
  if (fate == FileFate::repaired && !tracing_files(trace)) {
    if (number == repaired_named + 1) {
      trace_text(
          trace,
          "repaired: more files than named here; KOVRAN_ONEFILE_TRACE_FILES=1 names them all",
          nullptr);
    }
    if (number > repaired_named) return;
  } else if (!tracing_files(trace)) {
    return;
  }
  trace_text(trace,
             fate == FileFate::kept      ? "kept "
             : fate == FileFate::written ? "written "
                                         : "repaired ",
             name);
}

void trace_file_counts(const Trace& trace, int64_t kept, int64_t written, int64_t repaired) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, "files: ");
  trace_add_number(line, kept);
  trace_add(line, " kept, ");
  trace_add_number(line, written);
  trace_add(line, " written, ");
  trace_add_number(line, repaired);
  trace_add(line, " repaired");
  trace_end(trace, line);
}

void trace_other_build(const Trace& trace, const wchar_t* leaf, const char* outcome) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, "other build ");
  trace_add(line, leaf);
  trace_add(line, outcome);
  trace_end(trace, line);
}

void trace_other_builds(const Trace& trace, int64_t found) {
  trace_number(trace, "other builds: ", found, " found, none old enough");
}

void trace_leftover(const Trace& trace, const wchar_t* leaf, bool removed) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, "earlier removal ");
  trace_add(line, leaf);
  trace_add(line, removed ? " finished" : " left in part");
  trace_end(trace, line);
}

void trace_program(const Trace& trace, const wchar_t* path, const wchar_t* command_line) {
  trace_text(trace, "program ", path);
  trace_text(trace, "command line ", command_line);
}

void trace_program_status(const Trace& trace, uint32_t status) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, "program status ");
  trace_add_status(line, status);
  trace_end(trace, line);
}

void trace_failure(const Trace& trace, int status, const wchar_t* text) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, "ended, status ");
  trace_add_status(line, static_cast<uint32_t>(status));
  trace_add(line, text != nullptr ? ": " : ": cancelled");
  if (text != nullptr) trace_add(line, text);
  trace_end(trace, line);
}
