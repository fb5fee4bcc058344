// The unpack probe's close for files named "*close-fails*": the handle is closed, then the
// close is reported failed, as a network share may report a write it could not finish.
#include <windows.h>

#include <cwchar>

#include "payload/file_close.h"

DWORD close_written_file(HANDLE file) {
  wchar_t path[MAX_PATH];
  DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH, FILE_NAME_NORMALIZED);
  bool fails = length > 0 && length < MAX_PATH && wcsstr(path, L"close-fails") != nullptr;
  CloseHandle(file);
  return fails ? ERROR_NETNAME_DELETED : ERROR_SUCCESS;
}
