#include "paths/platform_directory.h"

#include <windows.h>

bool create_directory_w(const wchar_t* path) { return CreateDirectoryW(path, nullptr) != 0; }
