#pragma once
#include <filesystem>
#include <string>

namespace pack {

// The cross tools and the launcher's prebuilt libraries.
struct Toolchain {
  std::string cxx;      // KOVRAN_MINGW_CXX, default x86_64-w64-mingw32-g++-posix
  std::string windres;  // KOVRAN_MINGW_WINDRES, default x86_64-w64-mingw32-windres
  std::filesystem::path launcher_library;
  std::filesystem::path zstd_library;
};

// The folder of the running executable's prebuilt libraries: KOVRAN_ONEFILE_LIB_DIR, or
// ../lib/kovran-onefile beside the executable (the build tree and an installed prefix
// have the same shape).
std::filesystem::path launcher_library_dir();

// Throws PackError when the libraries are missing.
Toolchain find_toolchain();

}  // namespace pack
