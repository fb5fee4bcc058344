#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/image/icon_set.h"
#include "pack/image/resource_reader.h"
#include "pack/image/version_reader.h"

namespace pack {

// How a program presents itself: its first icon group and its version resource.
struct ProgramIdentity {
  std::vector<IconImage> icons;           // empty when it has none that can be used
  std::optional<ProgramVersion> version;  // nothing when it has none that can be read
  // What was there but could not be read ("" when nothing): the resource section as a
  // whole, the icon group, the version resource.
  std::string resources_problem;
  std::string icon_problem;
  std::string version_problem;
};

// From a resource section; a malformed resource gives a problem, never a failure.
ProgramIdentity read_identity(const ResourceBytes& section);

// From a program file, reading only its headers and its resource section.
ProgramIdentity read_program_identity(const std::filesystem::path& program);

// The same from a program's bytes as they stream past in order, holding only its
// first bytes and its resource section.
class ResourceCapture {
 public:
  void add(const unsigned char* data, size_t size);
  ProgramIdentity finish();

 private:
  void locate();

  std::vector<unsigned char> head_;
  uint64_t seen_ = 0;
  bool located_ = false;
  std::optional<ResourceRange> range_;
  std::vector<unsigned char> section_;
  std::string problem_;
};

}  // namespace pack
