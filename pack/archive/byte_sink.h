#pragma once
#include <cstddef>

namespace pack {

// Where the archive writer puts its bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const void* data, size_t size) = 0;
};

}  // namespace pack
