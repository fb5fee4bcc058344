#include "pack/cli/output_guard.h"

#include <algorithm>

#include "pack/inspect/launcher_file.h"
#include "pack/pack_error.h"
#include "pack/platform/output_file.h"
#include "pack/scan/windows_names.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

// The same file, by any of its names (links included); false when either is missing.
bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace

std::vector<AppFile> leave_out_output(std::vector<AppFile> files, const fs::path& output,
                                      std::string& note) {
  fs::path temp = temporary_output_path(output);
  std::error_code error;
  bool output_exists = fs::exists(output, error);
  bool temp_exists = fs::exists(temp, error);
  if (!output_exists && !temp_exists) return files;
  bool output_is_ours = false;
  auto found = std::find_if(files.begin(), files.end(), [&](const AppFile& file) {
    return output_exists && same_file(file.source, output);
  });
  if (found != files.end()) {
    if (!is_our_launcher(output)) {
      throw PackError(output.u8string() +
                      ": the output is a file of the app folder, and not a launcher made by "
                      "kovran-onefile; choose another output");
    }
    output_is_ours = true;
    note = "note: " + output.u8string() +
           " is a launcher made earlier; it is left out of the payload and replaced";
  }
  files.erase(std::remove_if(files.begin(), files.end(),
                             [&](const AppFile& file) {
                               return (output_is_ours && same_file(file.source, output)) ||
                                      (temp_exists && same_file(file.source, temp));
                             }),
              files.end());
  return files;
}

std::string output_name_warning(const fs::path& output) {
  std::u16string name = output.filename().u16string();
  if (name.size() > 4 && fold_case(name.substr(name.size() - 4)) == u".EXE") return "";
  return "warning: " + output.u8string() +
         " does not end in .exe; Windows starts it as a program only under such a name";
}

}  // namespace pack
