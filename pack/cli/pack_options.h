#pragma once
#include <optional>
#include <string>

namespace pack {

constexpr const char* default_spec = "{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008";
constexpr const char* default_version = "1.17.4.0";
constexpr int default_level = 19;

// Everything `kovran-onefile pack` is told on its command line.
struct PackOptions {
  std::string app_dir;        // packs this folder, or
  std::string payload_block;  // links this ready-made block
  std::string output;
  std::optional<std::string> main;
  std::string spec = default_spec;
  std::string version = default_version;
  std::optional<std::string> product_name;
  std::optional<std::string> icon;
  int level = default_level;
  int threads = 1;
  bool checksum = true;
  bool quiet = false;
};

}  // namespace pack
