#include "payload/unpack_end.h"

#include <cwchar>

#include "payload/file_write.h"
#include "payload/stamps_given.h"
#include "payload/unpack.h"

namespace {

// With the system's reason, and where the folder came from when a variable chose it.
Failure open_failure(const Unpack& unpack, const wchar_t* path, uint32_t system_error) {
  Failure failure = quoted_failure("Error, failed to open '", path, "' for writing.");
  failure.system_error = system_error;
  failure.has_system_error = true;
  if (unpack.cache_dir_moved) failure.note = " The folder comes from KOVRAN_ONEFILE_CACHE_DIR.";
  return failure;
}

Failure described(const Unpack& unpack, UnpackFailure failure, const wchar_t* path) {
  switch (failure.error) {
    case UnpackError::none:
      return no_failure;
    case UnpackError::header:
      return plain_failure("Error, couldn't find attached data header.");
    case UnpackError::memory:
      return plain_failure("Error, couldn't allocate memory.");
    case UnpackError::open:
      return open_failure(unpack, path, failure.system_error);
    case UnpackError::write:
      return system_failure(write_failed_message, failure.system_error);
    case UnpackError::path_too_long:
      return too_long_failure(
          "Error, the path of '", unpack.entry_name, "' below the target directory",
          unpack.target_length + 1 + wcslen(unpack.entry_name), target_path_capacity - 1);
    case UnpackError::cancelled:
      return cancelled_failure();
    case UnpackError::damaged:
      break;
  }
  return plain_failure(decode_failed_message);
}

}  // namespace

Failure end_unpack(Unpack& unpack, UnpackFailure failure) {
  bool damaged = failure.error == UnpackError::damaged;
  const wchar_t* failed_path = unpack.file_path;
  UnpackFailure earlier = settle_pool(unpack.pool);
  if (failed(earlier)) {
    damaged = damaged || earlier.error == UnpackError::damaged;
    failure = earlier;
    failed_path = failed_pool_path(unpack.pool);
  }
  bool behind_removed = remove_files_behind_failure(unpack.pool);
  stop_pool(unpack.pool);
  payload_close(unpack.stream);
  // A file behind a failure that could not be removed must not be kept by its stamp either.
  if (damaged || !behind_removed) take_back_stamps(unpack.stamp);
  release_target_lock(unpack.target_lock);
  return described(unpack, failure, failed_path);
}
