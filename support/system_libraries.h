#pragma once
// System DLLs come from System32 and nowhere else: not from the program's own folder or the
// current directory, where a download or an archive can leave a DLL of any name.
//
// The programs import only kernel32 and msvcrt, which are known DLLs on every system. Every
// other system DLL is delay-loaded: import libraries generated at build time from
// support/delay_loaded/NAME.def hold one stub per function, which on the first call asks
// __delayLoadHelper2 (defined in system_libraries.cpp) to load the DLL from System32 and
// then jumps to the function. Call sites stay plain calls.
//
// To call another function of user32, gdi32 or shell32, add its name to that DLL's .def
// file; without it the linker takes the function from the ordinary import library, and
// tests/pack/image/pe_structure.py refuses the static import. Another DLL needs a .def file
// of its own and a line in cmake/delay_loaded.cmake. The stubs keep the integer argument
// registers only: a function that takes floating-point arguments cannot be delay-loaded.

// The first thing a program does: the process's DLL search is System32 alone (where the
// system has SetDefaultDllDirectories), else the current directory leaves the search.
void restrict_dll_search();

// A Windows version may hand the DLL directory that the fallback sets to a child process.
// The first clears it just before a child is created, the second sets it again after.
void release_dll_search_for_child();
void restrict_dll_search_again();
