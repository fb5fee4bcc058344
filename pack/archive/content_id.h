#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pack {

// A short name for a payload's content, so that each build of an app unpacks into a
// folder of its own: a 64-bit FNV-1a hash of what it is given, shown as 12 hex digits.
// Not a security measure; two different payloads sharing a folder only cost a rewrite.
class ContentId {
 public:
  void add(const void* data, size_t size);
  std::string text() const;
  // The hash behind text(), with all its bits.
  uint64_t value() const;

  static constexpr size_t text_length = 12;

 private:
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace pack
