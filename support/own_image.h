#pragma once
// The launcher's own image as the loader mapped it.
#include <windows.h>

// Its first byte, which relative addresses count from, and its headers.
const unsigned char* own_image_base();
const IMAGE_NT_HEADERS* own_image_headers();

// Whether the pack tool made this launcher a console program (its image's subsystem), else
// a GUI program.
bool is_console_launcher();
