// Built for the build machine by the Windows tree: writes the icon and manifest that
// kovran-onefile.exe carries, the same as a launcher's default ones, for the resource
// compiler.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pack/image/default_icon.h"
#include "pack/image/icon_set.h"
#include "pack/image/manifest.h"

namespace {

bool write(const char* path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ICON MANIFEST\n", argv[0]);
    return 2;
  }
  std::vector<unsigned char> icon = pack::icon_file_bytes(pack::default_icons());
  if (!write(argv[1], std::string(icon.begin(), icon.end())) ||
      !write(argv[2], pack::application_manifest())) {
    std::perror("tool_resources_gen");
    return 1;
  }
  return 0;
}
