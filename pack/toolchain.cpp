#include "pack/toolchain.h"

#include <cstdlib>
#include <system_error>

#include "pack/pack_error.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

std::string from_env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value && *value) ? value : fallback;
}

}  // namespace

fs::path launcher_library_dir() {
  const char* override_dir = std::getenv("KOVRAN_ONEFILE_LIB_DIR");
  if (override_dir && *override_dir) return override_dir;
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) throw PackError("cannot find the running program: " + error.message());
  return (self.parent_path() / ".." / "lib" / "kovran-onefile").lexically_normal();
}

Toolchain find_toolchain() {
  Toolchain tools;
  tools.cxx = from_env("KOVRAN_MINGW_CXX", "x86_64-w64-mingw32-g++-posix");
  tools.windres = from_env("KOVRAN_MINGW_WINDRES", "x86_64-w64-mingw32-windres");
  fs::path dir = launcher_library_dir();
  tools.launcher_library = dir / "libkovran_launcher.a";
  tools.zstd_library = dir / "libzstd_decompress.a";
  for (const fs::path& library : {tools.launcher_library, tools.zstd_library}) {
    std::error_code error;
    if (!fs::is_regular_file(library, error)) {
      throw PackError(library.string() +
                      ": launcher library not found (build the Windows tree, or set "
                      "KOVRAN_ONEFILE_LIB_DIR)");
    }
  }
  return tools;
}

}  // namespace pack
