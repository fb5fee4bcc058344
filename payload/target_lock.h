#pragma once

// Launchers unpacking into the same target directory take turns through a named
// mutex derived from the directory's path; nothing is added to the directory itself.
// Takes the lock, waiting for another holder; true only on the call that took it, so
// that the caller checks again what another launcher may have written meanwhile.
bool take_target_lock();
// Lets the next launcher in; called when the unpack ends, before the child starts.
void release_target_lock();
