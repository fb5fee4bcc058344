#include <windows.h>

#include "pack/pack_error.h"
#include "pack/platform/full_path.h"
#include "pack/platform/windows_error.h"
#include "pack/platform/windows_path_form.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

bool is_verbatim(WindowsPathForm::Kind kind) {
  return kind == WindowsPathForm::verbatim_drive || kind == WindowsPathForm::verbatim_share;
}

}  // namespace

void refuse_device_path(const fs::path& path) {
  std::string problem = windows_namespace_problem(path.u16string());
  if (!problem.empty()) throw PackError(path.u8string() + ": " + problem);
}

// GetFullPathNameW, not std::filesystem::absolute: the library's takes "\\server\share"
// for a folder on the current drive.
fs::path full_path(const fs::path& path) {
  refuse_device_path(path);
  if (is_verbatim(windows_path_form(path.u16string()).kind)) return path;
  std::wstring name = path.wstring();
  DWORD units = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  std::wstring full(units, L'\0');
  if (units != 0) units = GetFullPathNameW(name.c_str(), units, full.data(), nullptr);
  if (units == 0 || units >= full.size()) {
    throw PackError(path.u8string() + ": " + last_error_text());
  }
  full.resize(units);
  return fs::path(full);
}

size_t root_length(const fs::path& full) { return windows_path_form(full.u16string()).root_length; }

std::string output_path_problem(const fs::path& path) {
  return windows_output_path_problem(path.u16string());
}

fs::path resolved_folder(const fs::path& folder, std::error_code& error) {
  HANDLE handle = CreateFileW(windows_path(folder).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
    return {};
  }
  std::wstring resolved(MAX_PATH, L'\0');
  DWORD units =
      GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
  if (units >= resolved.size()) {
    resolved.resize(units);
    units =
        GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
  }
  if (units == 0 || units >= resolved.size()) {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
    CloseHandle(handle);
    return {};
  }
  CloseHandle(handle);
  resolved.resize(units);
  return fs::path(resolved);
}

}  // namespace pack
