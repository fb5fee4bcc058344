#pragma once
#include <optional>
#include <string>
#include <vector>

namespace pack {

// The default target directory: a folder per app and per build in the user's local
// application data, which needs no rights. NAME and ID are written in by the tool.
constexpr const char* default_target_dir_form = "{CACHE_DIR}\\kovran-onefile\\NAME-ID";
constexpr const char* default_version = "1.17.4.0";
// The fastest level whose payload is within 5 % of level 19's on the bench corpus.
constexpr int default_level = 15;

// Everything `kovran-onefile pack` is told on its command line.
struct PackOptions {
  std::string app_dir;        // packs this folder, or
  std::string payload_block;  // links this ready-made block
  std::string output;
  std::optional<std::string> main;
  std::optional<std::string> target_dir;
  std::optional<std::string> app_version;
  std::optional<std::string> product_name;
  std::optional<std::string> icon;
  std::optional<std::string> subsystem;    // "console" or "gui"; default: the main's own
  std::string reuse = "crc";               // "crc" or "stamp": how a later start keeps files
  std::optional<std::string> prune_after;  // days, or "never": when other builds go
  std::vector<std::string> excludes;
  int level = default_level;
  int threads = 1;
  bool checksum = true;
  bool quiet = false;
  bool unpack_progress = false;  // a long first start shows how far it is
  bool check_block = true;       // off only for tests of the launcher's own checks
};

}  // namespace pack
