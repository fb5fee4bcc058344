#include "payload/file_write.h"

#include "payload/held_file.h"
#include "support/file_disposition.h"

DWORD write_whole(HANDLE file, const void* bytes, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(file, bytes, size, &written, nullptr)) {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  }
  return written == size ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

bool remove_written_file(HANDLE file, const wchar_t* path, int& waits_left) {
  bool marked = delete_on_close(file);
  CloseHandle(file);
  return marked || delete_file_waiting(path, waits_left);
}
