#pragma once
// Launchers unpacking into the same target directory take turns through a named mutex
// derived from the directory's path; nothing is added to the directory itself.
#include <windows.h>

#include "support/trace.h"

struct TargetLock {
  const wchar_t* target_directory;
  HANDLE mutex;        // held while not null
  const Trace* trace;  // nullptr: none
};

// Takes the lock, waiting while another launcher holds it; false when no lock can be had,
// and the unpack then goes on alone. The wait is traced.
bool take_target_lock(TargetLock& lock);
bool holds_target_lock(const TargetLock& lock);
// Lets the next launcher in: when the unpack ends, before the child starts, or at once
// when the entry that called for the lock turns out to be current after the wait.
void release_target_lock(TargetLock& lock);
