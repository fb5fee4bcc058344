#pragma once
// Beside each build folder NAME-ID, the file NAME-ID.used: its last-write time is the
// build's last start, its content the full path of the launcher that started it. A launcher
// holds it open from before it unpacks to its end, shared with other launchers of the build
// but never exclusively, and its child inherits the handle: while any of them runs, no one
// can open the marker exclusively, which is how a pruner tells a build in use. When they
// end, however they end, the handle goes with them.

#include <windows.h>

#include "paths/known_directories.h"

// The marker's suffix.
constexpr wchar_t in_use_suffix[] = L".used";

// Opens the marker of the build folder at target_directory, writes launcher_path into it
// and keeps it open for the process's life; waits while a pruner holds it. When it cannot
// be had, the build folder itself is held so that no pruner can rename it, and the answer is
// why not (ERROR_SUCCESS when held). Its folder is made as the unpack's are.
DWORD hold_in_use_marker(KnownDirectories& directories, const wchar_t* target_directory,
                         const wchar_t* launcher_path);
