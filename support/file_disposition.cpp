#include "support/file_disposition.h"

namespace {

using set_information_function = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// Not present before Vista, so looked up rather than imported.
set_information_function find_set_information() {
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<set_information_function>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetFileInformationByHandle")));
}

}  // namespace

bool delete_on_close(HANDLE file) {
  set_information_function set_information = find_set_information();
  if (set_information == nullptr) return false;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return set_information(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}
