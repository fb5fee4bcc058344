#include "payload/unpack_end.h"

#include <cwchar>

#include "payload/file_write.h"
#include "payload/stamps_given.h"
#include "payload/unpack.h"

namespace {

// With the system's reason, and where the folder came from when a variable chose it.
Failure open_failure(const Unpack& unpack, const wchar_t* path, uint32_t system_error) {
  Failure failure =
      with_system_error(catalogued_failure(FailureKind::open_for_writing, path), system_error);
  if (unpack.cache_dir_moved) failure.note = cache_dir_note;
  return failure;
}

Failure described(const Unpack& unpack, UnpackFailure failure, const wchar_t* path) {
  switch (failure.error) {
    case UnpackError::none:
      return no_failure;
    case UnpackError::header:
      return catalogued_failure(FailureKind::no_header);
    case UnpackError::memory:
      return catalogued_failure(FailureKind::out_of_memory);
    case UnpackError::open:
      return open_failure(unpack, path, failure.system_error);
    case UnpackError::write:
      return with_system_error(catalogued_failure(FailureKind::write), failure.system_error);
    case UnpackError::path_too_long:
      return too_long_failure(FailureKind::entry_path_too_long, unpack.entry_name,
                              unpack.target_length + 1 + wcslen(unpack.entry_name),
                              target_path_capacity - 1);
    case UnpackError::cancelled:
      return cancelled_failure();
    case UnpackError::damaged:
      break;
  }
  return catalogued_failure(FailureKind::damaged);
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
