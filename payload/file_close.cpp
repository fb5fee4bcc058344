#include "payload/file_close.h"

DWORD close_written_file(HANDLE file) {
  if (CloseHandle(file)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}
