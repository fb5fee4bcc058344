#include "paths/platform_directory.h"

#include <shlobj.h>
#include <windows.h>

bool create_directory_w(const wchar_t* path) { return CreateDirectoryW(path, nullptr) != 0; }

bool system_folder_path(int folder, wchar_t* path) {
  path[0] = 0;
  return SHGetFolderPathW(nullptr, folder, nullptr, 0, path) == S_OK;
}
