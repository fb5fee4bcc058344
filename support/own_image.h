#pragma once
// The launcher's own image as the loader mapped it.
#include <windows.h>

// Its first byte, which relative addresses count from, and its headers.
const unsigned char* own_image_base();
const IMAGE_NT_HEADERS* own_image_headers();
