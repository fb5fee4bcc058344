#include "child/resume_child.h"

DWORD resume_child(HANDLE thread) {
  if (ResumeThread(thread) != static_cast<DWORD>(-1)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE;
}
