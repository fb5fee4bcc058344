#include <windows.h>

#include "pack/platform/output_node.h"
#include "pack/platform/windows_error.h"

namespace pack {
namespace {

bool is_missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME;
}

OutputNode disk_node(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(handle, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {OutputNode::folder, "a folder"};
  }
  return {OutputNode::file, "a file"};
}

// A node that the system will not open even for its attributes (Wine's view of a Unix
// socket): a file or a folder when the system lists it as one, else something else.
OutputNode unopened_node(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {OutputNode::other, "a special file"};
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {OutputNode::folder, "a folder"};
  return {OutputNode::file, "a file"};
}

}  // namespace

// Opened for its attributes alone, following links, to ask the system what it is: a device
// name (NUL, CON, COM1) or a pipe is not a file on disk.
OutputNode output_node(const std::filesystem::path& path) {
  std::wstring name = windows_path(path);
  HANDLE handle = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (is_missing(GetLastError())) return {OutputNode::missing, ""};
    return unopened_node(name);
  }
  OutputNode node;
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      node = disk_node(handle);
      break;
    case FILE_TYPE_CHAR:
      node = {OutputNode::other, "a character device"};
      break;
    case FILE_TYPE_PIPE:
      node = {OutputNode::other, "a pipe"};
      break;
    default:
      node = {OutputNode::other, "a special file"};
      break;
  }
  CloseHandle(handle);
  return node;
}

}  // namespace pack
