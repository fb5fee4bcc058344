#include <shlobj.h>
#include <windows.h>

#include "paths/platform_directory.h"
#include "tests/paths/fake_platform_directory.h"

FakeFileSystem fake_file_system;

namespace {

bool parent_exists(const std::wstring& path) {
  size_t cut = path.rfind(L'\\');
  if (cut == std::wstring::npos || cut == 0) return true;
  std::wstring parent = path.substr(0, cut);
  bool drive = parent.size() == 2 && parent[1] == L':';
  return drive || fake_file_system.existing.count(parent) != 0;
}

bool fail_with(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

bool create_directory_w(const wchar_t* path) {
  fake_file_system.calls.push_back(path);
  if (fake_file_system.existing.count(path) != 0) return fail_with(ERROR_ALREADY_EXISTS);
  if (fake_file_system.refused.count(path) != 0) return fail_with(ERROR_ACCESS_DENIED);
  if (!parent_exists(path)) return fail_with(ERROR_PATH_NOT_FOUND);
  fake_file_system.existing.insert(path);
  return true;
}

bool system_folder_path(int folder, wchar_t* path) {
  path[0] = 0;
  if (folder == CSIDL_PROFILE && fake_file_system.no_profile_folder) return false;
  return SHGetFolderPathW(nullptr, folder, nullptr, 0, path) == S_OK;
}
