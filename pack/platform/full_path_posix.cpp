// On Linux every name is the file system's to take: a trailing dot or space, or a ':',
// is part of an ordinary name there, and no path form reaches a device namespace.
#include "pack/platform/full_path.h"

#include "pack/pack_error.h"

namespace pack {

namespace fs = std::filesystem;

fs::path full_path(const fs::path& path) {
  std::error_code error;
  fs::path full = fs::absolute(path, error);
  if (error) throw PackError(path.u8string() + ": " + error.message());
  return full.lexically_normal();
}

void refuse_device_path(const fs::path&) {}

size_t root_length(const fs::path& full) { return full.root_path().native().size(); }

std::string output_path_problem(const fs::path&) { return ""; }

fs::path resolved_folder(const fs::path& folder, std::error_code& error) {
  return fs::canonical(folder, error);
}

}  // namespace pack
