#pragma once
// An update in place: a start whose build folder is not there takes over the folder of an
// earlier build of the same application that nobody uses and that an update left behind,
// instead of unpacking every file anew. It renames that folder to its own name in one step,
// the way a pruner moves a build out of the way, and then unpacks over it; what the new build
// does not hold is removed afterwards (payload/stray_removal.h).
//
// Only a build whose marker names this launcher's own path (the launcher was replaced in
// place) or a launcher that is gone (an app-1.exe deleted for app-2.exe) is taken over, the
// most recently started of those nobody uses; never one whose launcher still exists
// elsewhere, which two versions kept side by side would otherwise take from each other on
// every start. While
// the takeover has not ended, a file NAME-ID.taking beside the folder says so, and a later
// start finishes it.
#include <windows.h>

#include "builds/build_folder.h"

constexpr wchar_t takeover_suffix[] = L".taking";

// Takes an earlier build over into target_directory (build's own folder, which must be
// missing); its leaf goes into taken. False when there is none to take (builds in use, held,
// or whose marker cannot be read are not): the start then unpacks as a first start does.
bool take_over_earlier_build(const BuildFolder& build, const wchar_t* launcher_path,
                             const wchar_t* target_directory,
                             wchar_t (&taken)[build_leaf_capacity]);

// The file that says a takeover into target_directory has not ended: made before the
// rename (false when it cannot be: no takeover then), deleted once the folder holds exactly
// the build.
bool takeover_pending(const wchar_t* target_directory);
bool note_takeover(const wchar_t* target_directory);
void end_takeover(const wchar_t* target_directory);
