#include "pack/inspect/launcher_version.h"

#include "pack/image/program_identity.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

std::string string_of(const ProgramVersion& version, std::u16string_view key) {
  for (const auto& [name, value] : version.strings) {
    if (name == key) return utf16_to_utf8(value);
  }
  return "";
}

}  // namespace

// The texts people see in the file's properties; the fixed numbers where a text is missing.
LauncherVersion read_launcher_version(const std::filesystem::path& launcher) {
  LauncherVersion result;
  ProgramIdentity identity = read_program_identity(launcher);
  if (!identity.version) return result;
  const ProgramVersion& version = *identity.version;
  result.product = string_of(version, u"ProductName");
  result.file_version = string_of(version, u"FileVersion");
  result.product_version = string_of(version, u"ProductVersion");
  result.made_by = string_of(version, packed_by_key);
  if (version.fixed) {
    if (result.file_version.empty())
      result.file_version = format_version(version.fixed->file_version);
    if (result.product_version.empty())
      result.product_version = format_version(version.fixed->product_version);
  }
  return result;
}

std::string launcher_version_line(const LauncherVersion& version) {
  std::string line = version.product.empty() ? "(no product name)" : version.product;
  if (!version.file_version.empty()) line += ", file version " + version.file_version;
  if (!version.product_version.empty()) line += ", product version " + version.product_version;
  return line + ", made by " + (version.made_by.empty() ? made_by_unknown : version.made_by);
}

}  // namespace pack
