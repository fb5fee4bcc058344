#pragma once
// How an unpack fails. Each part hands its failure back as a value; the unpack's one ending
// (payload/unpack_end.h) cleans up after it and hands on the earliest in archive order.
#include <cstdint>

enum class UnpackError {
  none,
  header,         // the block does not start with its magic
  memory,         // the decoder, its windows or a thread could not be had
  damaged,        // the archive is not what its writer made: undecodable, a checksum or
                  // the index disagrees, a name that cannot be a file below the target
  open,           // a file could not be opened for writing, its folder not made among others
  write,          // a write, set-time or close failed
  path_too_long,  // the target directory and an entry's name exceed the path buffer
  cancelled,      // the user closed the progress window
};

struct UnpackFailure {
  UnpackError error;
  uint32_t system_error;  // for open and write: the system's error code
};

constexpr UnpackFailure unpack_went_well = {UnpackError::none, 0};

inline bool failed(const UnpackFailure& failure) { return failure.error != UnpackError::none; }
