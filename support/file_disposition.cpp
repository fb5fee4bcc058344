#include "support/file_disposition.h"

#include "support/later_calls.h"

bool delete_on_close(HANDLE file) {
  set_information_function set_information = find_set_information_function();
  if (set_information == nullptr) return false;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return set_information(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}
