#include "pack/cli/launcher_identity.h"

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

VersionResource version_resource(const PackOptions& options, const std::u16string& main_name,
                                 const std::optional<ProgramVersion>& main_version) {
  VersionResource resource;
  VersionNumber fallback = checked_version(default_version);
  resource.fixed.file_version = resource.fixed.product_version = fallback;
  if (main_version) {
    if (main_version->fixed) resource.fixed = *main_version->fixed;
    resource.language = main_version->language;
    resource.code_page = main_version->code_page;
    resource.strings = main_version->strings;
  }
  if (options.app_version) {
    resource.fixed.file_version = resource.fixed.product_version =
        checked_version(*options.app_version);
    std::u16string text = format_version_u16(resource.fixed.file_version);
    set_version_string(resource, u"ProductVersion", text);
    set_version_string(resource, u"FileVersion", text);
  }
  // What the program's own table leaves out, in the order of the default table.
  auto fill = [&resource](std::u16string_view key, const std::u16string& value) {
    if (!version_string(resource, key)) set_version_string(resource, key, value);
  };
  std::u16string file_name =
      main_name.empty() ? to_utf16(fs::u8path(options.output).filename().u8string(), "--output")
                        : last_component(main_name);
  fill(u"ProductVersion", format_version_u16(resource.fixed.product_version));
  fill(u"FileVersion", format_version_u16(resource.fixed.file_version));
  fill(u"OriginalFilename", file_name);
  fill(u"InternalName", file_name);
  if (options.product_name) {
    std::u16string name = to_utf16(*options.product_name, "--product-name");
    set_version_string(resource, u"ProductName", name);
    set_version_string(resource, u"FileDescription", name);
  }
  fill(u"ProductName", without_exe(file_name));
  fill(u"FileDescription", *version_string(resource, u"ProductName"));
  // Which tool made the launcher, for support and for info; a table of the program's own
  // (an inner launcher's) said which made that one.
  set_version_string(resource, packed_by_key, packed_by_value());
  return resource;
}

std::vector<std::string> identity_warnings(const std::string& main_path,
                                           const ProgramIdentity& main,
                                           const PackOptions& options) {
  std::vector<std::string> warnings;
  auto warn = [&](const std::string& problem, const char* what, const char* instead) {
    if (!problem.empty()) {
      warnings.push_back(main_path + ": " + what + " (" + problem + "); " + instead);
    }
  };
  bool own_icon = options.icon.has_value();
  bool own_version = options.app_version && options.product_name;
  if (!own_icon || !own_version) {
    warn(main.resources_problem, "its resources cannot be read",
         "the launcher gets the default icons and a version resource of its own");
  }
  if (!own_icon)
    warn(main.icon_problem, "its icon cannot be used", "the launcher gets the default icons");
  if (!own_version) {
    warn(main.version_problem, "its version resource cannot be read",
         "the launcher's is made from the options and defaults");
  }
  return warnings;
}

}  // namespace pack
