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

struct Pruning {
  BuildFolder build;
  const wchar_t* launcher_path;
  uint32_t days;
  HANDLE thread;
};

// Starts pruning on a thread of its own; nothing when no thread can be had.
void start_pruning(Pruning& pruning);
// Gives the pruning at most about 100 ms more: what it renamed is out of use already, and
// the deletion left is finished by a later start.
void finish_pruning(Pruning& pruning);
