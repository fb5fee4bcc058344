#include "payload/unpack_end.h"

#include <cstdlib>

#include "payload/file_write.h"
#include "payload/unpack.h"
#include "support/errors.h"

namespace {

// What a program that Ctrl-C ends exits with; a cancelled start says nothing else.
constexpr unsigned long cancelled_status = 0xC000013A;

[[noreturn]] void report(UnpackFailure failure, const wchar_t* path) {
  switch (failure.error) {
    case UnpackError::header:
      fatal_error("Error, couldn't find attached data header.");
    case UnpackError::memory:
      fatal_error("Error, couldn't allocate memory.");
    case UnpackError::open:
      fatal_open_error(path);
    case UnpackError::write:
      fatal_os_error(write_failed_message, failure.system_error);
    case UnpackError::path_too_long:
      abort();
    case UnpackError::cancelled:
      exit(static_cast<int>(cancelled_status));
    default:
      fatal_error(decode_failed_message);
  }
}

}  // namespace

void end_unpack(Unpack& unpack, UnpackFailure failure) {
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
  if (failed(failure)) report(failure, failed_path);
}
