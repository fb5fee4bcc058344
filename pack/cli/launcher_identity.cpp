#include "pack/cli/launcher_identity.h"

#include "pack/image/version_reader.h"
#include "pack/pack_error.h"
#include "pack/scan/target_spec_check.h"
#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

constexpr size_t max_default_name_units = 64;

std::u16string to_utf16(const std::string& text, const std::string& what) {
  std::optional<std::u16string> wide = utf8_to_utf16(text);
  if (!wide) throw PackError(what + " is not valid UTF-8");
  return *wide;
}

VersionNumber checked_version(const std::string& text) {
  std::optional<VersionNumber> version = parse_version(text);
  if (!version) {
    throw PackError("--app-version '" + text +
                    "': expected A.B.C.D, each a number from 0 to 65535");
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

}  // namespace

std::u16string checked_spec(const std::string& spec) {
  std::u16string wide = to_utf16(spec, "--target-dir");
  std::string problem = spec_problem(wide);
  if (!problem.empty()) throw PackError("--target-dir '" + spec + "': " + problem);
  return wide;
}

// The default target directory with the app's name and the payload's id as literal
// text; braces in the name would read as placeholders.
std::u16string default_target_dir(const std::u16string& main_name, const std::string& id) {
  std::u16string name = without_exe(last_component(main_name)).substr(0, max_default_name_units);
  for (char16_t& c : name) {
    if (c == u'{' || c == u'}') c = u'_';
  }
  if (name.empty()) name = u"app";
  return u"{CACHE_DIR}\\kovran-onefile\\" + name + u"-" + std::u16string(id.begin(), id.end());
}

// Options first, then the main executable's own version resource, then the defaults.
VersionResource version_resource(const PackOptions& options, const std::u16string& main_name,
                                 const std::optional<fs::path>& main_file) {
  VersionResource resource;
  std::optional<ProgramVersion> found;
  if (main_file && (!options.app_version || !options.product_name)) {
    found = read_program_version(*main_file);
  }
  if (options.app_version) {
    resource.version = checked_version(*options.app_version);
  } else if (found && found->version) {
    resource.version = *found->version;
  } else {
    resource.version = checked_version(default_version);
  }
  resource.file_name = main_name.empty()
                           ? to_utf16(fs::u8path(options.output).filename().u8string(), "--output")
                           : last_component(main_name);
  if (options.product_name) {
    resource.product_name = to_utf16(*options.product_name, "--product-name");
  } else if (found && !found->product_name.empty()) {
    resource.product_name = found->product_name;
  } else {
    resource.product_name = without_exe(resource.file_name);
  }
  return resource;
}

}  // namespace pack
