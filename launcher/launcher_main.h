#pragma once
#include <windows.h>

// The launcher's whole run, from the runtime's start-up to the exit status.
int WINAPI launcher_main(HINSTANCE instance, HINSTANCE previous, LPWSTR command_tail, int show);

// The DLL search order and the hand-off variables that must be settled before the target
// directory is expanded.
void prepare_environment();

// Where the launcher lives and how it was invoked, for the child.
void publish_launcher_identity(const wchar_t* argv0);
