#pragma once
#include <filesystem>
#include <string>

namespace pack {

// How a launcher presents itself, from its version resource, as info and list show it.
struct LauncherVersion {
  std::string product;  // "" when it names none
  std::string file_version;
  std::string product_version;
  std::string made_by;  // "" for a launcher made before the tool named itself there
};

LauncherVersion read_launcher_version(const std::filesystem::path& launcher);

// "PRODUCT, file version A, product version B, made by kovran-onefile V": list's heading.
std::string launcher_version_line(const LauncherVersion& version);

// What made_by shows for a launcher that does not say.
constexpr const char* made_by_unknown = "an older kovran-onefile (it does not say which)";

}  // namespace pack
