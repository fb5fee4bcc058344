#include "payload/file_write.h"

DWORD write_whole(HANDLE file, const void* bytes, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(file, bytes, size, &written, nullptr)) {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  }
  return written == size ? ERROR_SUCCESS : ERROR_DISK_FULL;
}
