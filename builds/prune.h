#pragma once
// Removing other builds of the application that nobody uses any more, after the child has
// started so that it never delays the program. Of the other build folders beside this one
// whose in-use marker names this launcher's path, each one that is not in use, was last
// started more than the given days ago, and is not the most recently started of them is
// renamed out of every launcher's way and then deleted. Folders without a marker are never
// touched; a removal that was cut short is finished by a later start.
#include <windows.h>

#include <cstdint>

#include "builds/build_folder.h"
#include "support/launch_state.h"

// What the pruning thread reads. It may still run while the process ends (finish_pruning
// waits only so long), so it is a copy of its own, left to the process's end.
struct Pruning {
  BuildFolder build;
  wchar_t launcher_path[launcher_path_capacity];
  uint32_t days;
  Trace trace;
};

// Starts pruning the other builds of build on a thread of its own; the thread, or nullptr
// when none can be had.
HANDLE start_pruning(const BuildFolder& build, const LaunchState& state);
// Gives the pruning at most about 100 ms more: what it renamed is out of use already, and
// the deletion left is finished by a later start.
void finish_pruning(HANDLE pruner);
