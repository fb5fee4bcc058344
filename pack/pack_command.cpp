#include "pack/pack_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "pack/archive_plan.h"
#include "pack/default_icon.h"
#include "pack/launcher_link.h"
#include "pack/pack_error.h"
#include "pack/payload_block.h"
#include "pack/target_spec_check.h"
#include "pack/utf.h"
#include "pack/windows_names.h"

namespace pack {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::u16string to_utf16(const std::string& text, const std::string& what) {
  std::optional<std::u16string> wide = utf8_to_utf16(text);
  if (!wide) throw PackError(what + " is not valid UTF-8");
  return *wide;
}

std::u16string checked_spec(const std::string& spec) {
  std::u16string wide = to_utf16(spec, "--spec");
  std::string problem = spec_problem(wide);
  if (!problem.empty()) throw PackError("--spec '" + spec + "': " + problem);
  return wide;
}

VersionNumber checked_version(const std::string& text) {
  std::optional<VersionNumber> version = parse_version(text);
  if (!version) {
    throw PackError("--version '" + text + "': expected A.B.C.D, each a number from 0 to 65535");
  }
  return *version;
}

std::u16string without_exe(std::u16string name) {
  if (name.size() > 4 && fold_case(name.substr(name.size() - 4)) == u".EXE")
    name.resize(name.size() - 4);
  return name;
}

std::u16string last_component(const std::u16string& name) {
  size_t cut = name.rfind(u'\\');
  return cut == std::u16string::npos ? name : name.substr(cut + 1);
}

VersionResource version_resource(const PackOptions& options, const std::vector<AppFile>& entries) {
  VersionResource resource;
  resource.version = checked_version(options.version);
  resource.file_name = entries.empty()
                           ? to_utf16(fs::path(options.output).filename().string(), "--output")
                           : last_component(entries.front().name);
  resource.product_name = options.product_name ? to_utf16(*options.product_name, "--product-name")
                                               : without_exe(resource.file_name);
  return resource;
}

// Everything that can be checked in a moment, before the long compression starts.
struct Inputs {
  std::u16string spec;
  VersionResource version;
  std::vector<IconImage> icons;
  Toolchain tools;
  std::vector<AppFile> entries;
};

Inputs gather_inputs(const PackOptions& options) {
  Inputs inputs;
  inputs.spec = checked_spec(options.spec);
  inputs.icons = options.icon ? read_icon_file(*options.icon) : default_icons();
  check_output_path(options.output);
  if (options.payload_block.empty()) {
    inputs.entries = plan_archive(scan_app_dir(options.app_dir), options.main, options.app_dir);
  } else {
    struct stat info {};
    if (stat(options.payload_block.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      throw PackError(options.payload_block + ": payload block not found, or not a file");
    }
  }
  inputs.version = version_resource(options, inputs.entries);
  inputs.tools = find_toolchain();
  return inputs;
}

std::string summary(const Inputs& inputs, const BlockSizes& sizes, uint64_t exe_bytes,
                    double seconds, const std::string& output) {
  char figures[256];
  if (inputs.entries.empty()) {
    std::snprintf(figures, sizeof figures,
                  "linked a payload block of %llu bytes: %llu bytes out, %.1f s -> ",
                  static_cast<unsigned long long>(sizes.block),
                  static_cast<unsigned long long>(exe_bytes), seconds);
    return figures + output;
  }
  size_t files = inputs.entries.size();
  double ratio = 100.0 * static_cast<double>(exe_bytes) / static_cast<double>(sizes.archive);
  std::snprintf(figures, sizeof figures,
                "packed %zu file%s: %llu bytes in, %llu bytes out (%.1f%%), %.1f s -> ", files,
                files == 1 ? "" : "s", static_cast<unsigned long long>(sizes.archive),
                static_cast<unsigned long long>(exe_bytes), ratio, seconds);
  return figures + output;
}

}  // namespace

void run_pack(const PackOptions& options) {
  Clock::time_point start = Clock::now();
  Inputs inputs = gather_inputs(options);
  OutputTransaction work(options.output);

  LauncherParts parts;
  BlockSizes sizes;
  if (inputs.entries.empty()) {
    parts.block = options.payload_block;
    sizes.block = fs::file_size(parts.block);
  } else {
    parts.block = work.work_file("payload.bin");
    Progress progress(!options.quiet && isatty(STDERR_FILENO), archive_size(inputs.entries));
    CompressionSettings settings{options.level, options.threads, options.checksum};
    sizes = write_payload_block(inputs.entries, settings, parts.block, progress);
  }
  parts.block_length = sizes.block;
  parts.spec = inputs.spec;
  parts.icons = inputs.icons;
  parts.version = inputs.version;

  fs::path exe = link_launcher(parts, inputs.tools, work);
  uint64_t exe_bytes = fs::file_size(exe);
  work.commit(exe);
  if (!options.quiet) {
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s\n", summary(inputs, sizes, exe_bytes, seconds, options.output).c_str());
  }
}

}  // namespace pack
