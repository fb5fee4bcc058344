#pragma once
#include <windows.h>

// The launcher's whole run, from the runtime's start-up to the exit status.
int WINAPI launcher_main(HINSTANCE instance, HINSTANCE previous, LPWSTR command_tail, int show);
