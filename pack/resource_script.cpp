#include "pack/resource_script.h"

#include <cstdio>

namespace pack {

std::string rc_wide_literal(std::u16string_view text) {
  std::string out = "L\"";
  for (char16_t unit : text) {
    if (unit == u'"') {
      out += "\"\"";
    } else if (unit == u'\\') {
      out += "\\\\";
    } else if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%04x", static_cast<unsigned>(unit));
      out += escaped;
    }
  }
  return out + "\"";
}

std::string resource_script(const VersionResource& info, const std::string& icon_file,
                            const std::string& manifest_file) {
  const VersionNumber& v = info.version;
  std::string numbers = std::to_string(v[0]) + "," + std::to_string(v[1]) + "," +
                        std::to_string(v[2]) + "," + std::to_string(v[3]);
  std::u16string text;
  for (char c : format_version(v)) text += static_cast<char16_t>(c);
  std::string version = rc_wide_literal(text);
  std::string file = rc_wide_literal(info.file_name);
  std::string product = rc_wide_literal(info.product_name);
  return "LANGUAGE 0, 0\n"
         "1 ICON \"" +
         icon_file +
         "\"\n"
         "1 24 \"" +
         manifest_file +
         "\"\n"
         "1 VERSIONINFO\n"
         "FILEVERSION " +
         numbers +
         "\n"
         "PRODUCTVERSION " +
         numbers +
         "\n"
         "FILEFLAGSMASK 0x3f\n"
         "FILEFLAGS 0x0\n"
         "FILEOS 0x4\n"
         "FILETYPE 0x1\n"
         "FILESUBTYPE 0x0\n"
         "BEGIN\n"
         "  BLOCK \"StringFileInfo\"\n"
         "  BEGIN\n"
         "    BLOCK \"000004b0\"\n"
         "    BEGIN\n"
         "      VALUE \"ProductVersion\", " +
         version +
         "\n"
         "      VALUE \"FileVersion\", " +
         version +
         "\n"
         "      VALUE \"OriginalFilename\", " +
         file +
         "\n"
         "      VALUE \"InternalName\", " +
         file +
         "\n"
         "      VALUE \"ProductName\", " +
         product +
         "\n"
         "      VALUE \"FileDescription\", " +
         product +
         "\n"
         "    END\n"
         "  END\n"
         "  BLOCK \"VarFileInfo\"\n"
         "  BEGIN\n"
         "    VALUE \"Translation\", 0x0, 1200\n"
         "  END\n"
         "END\n";
}

}  // namespace pack
