#pragma once
#include <stdexcept>

namespace pack {

// A failure the user can act on. The message is one line and is printed as it stands.
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace pack
