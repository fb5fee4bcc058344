#include "pack/cli/pack_command.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "pack/archive/payload_block.h"
#include "pack/image/default_icon.h"
#include "pack/image/embedded_stub.h"
#include "pack/image/launcher_image.h"
#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "pack/platform/output_file.h"
#include "pack/platform/terminal.h"
#include "pack/scan/archive_plan.h"
#include "pack/scan/target_spec_check.h"
#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"

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
                           ? to_utf16(fs::u8path(options.output).filename().u8string(), "--output")
                           : last_component(entries.front().name);
  resource.product_name = options.product_name ? to_utf16(*options.product_name, "--product-name")
                                               : without_exe(resource.file_name);
  return resource;
}

// Everything that can be checked in a moment, before the long compression starts.
struct Inputs {
  LauncherContent content;
  std::vector<AppFile> entries;
  uint64_t block_size = 0;  // --payload-block
};

Inputs gather_inputs(const PackOptions& options) {
  Inputs inputs;
  inputs.content.spec = checked_spec(options.spec);
  inputs.content.icons = options.icon ? read_icon_file(fs::u8path(*options.icon)) : default_icons();
  check_output_path(fs::u8path(options.output));
  if (options.payload_block.empty()) {
    inputs.entries = plan_archive(scan_app_dir(fs::u8path(options.app_dir)), options.main,
                                  fs::u8path(options.app_dir));
  } else {
    std::error_code error;
    if (!fs::is_regular_file(fs::u8path(options.payload_block), error)) {
      throw PackError(options.payload_block + ": payload block not found, or not a file");
    }
    inputs.block_size = fs::file_size(fs::u8path(options.payload_block), error);
    if (error) throw PackError(options.payload_block + ": " + error.message());
  }
  inputs.content.version = version_resource(options, inputs.entries);
  std::string version_text = format_version(inputs.content.version.version);
  inputs.content.version_text.assign(version_text.begin(), version_text.end());
  return inputs;
}

// A payload the image cannot address is refused before anything is written.
void check_payload_fits(const LauncherLayout& layout, uint64_t size) {
  if (size > layout.max_payload) throw PackError(payload_too_large(size, layout.max_payload));
}

void copy_block(const fs::path& path, uint64_t size, ByteSink& out) {
  std::vector<unsigned char> buffer(1u << 20);
  FileReader reader(path, size);
  reader.read_all(buffer, [&out](const unsigned char* data, size_t n) { out.write(data, n); });
}

std::string summary(const Inputs& inputs, const BlockSizes& sizes, uint64_t exe_bytes,
                    double seconds, const std::string& output) {
  char figures[256];
  if (inputs.entries.empty()) {
    std::snprintf(figures, sizeof figures,
                  "attached a payload block of %llu bytes: %llu bytes out, %.1f s -> ",
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
  StubBytes stub = embedded_stub();
  LauncherLayout layout = plan_launcher(stub, inputs.content);
  if (!options.payload_block.empty()) check_payload_fits(layout, inputs.block_size);

  OutputFile out(fs::u8path(options.output));
  LauncherImage image(stub, inputs.content, out);
  BlockSizes sizes;
  if (inputs.entries.empty()) {
    copy_block(fs::u8path(options.payload_block), inputs.block_size, image);
    sizes.block = inputs.block_size;
  } else {
    Progress progress(!options.quiet && stderr_is_terminal(), archive_size(inputs.entries));
    CompressionSettings settings{options.level, options.threads, options.checksum};
    sizes = write_payload_block(inputs.entries, settings, image, progress);
  }
  uint64_t exe_bytes = image.finish();
  out.commit();
  if (!options.quiet) {
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s\n", summary(inputs, sizes, exe_bytes, seconds, options.output).c_str());
  }
}

}  // namespace pack
