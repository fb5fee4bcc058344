#include "pack/scan/archive_plan.h"

#include <algorithm>
#include <map>

#include "pack/pack_error.h"
#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

bool is_top_level(const AppFile& file) { return file.name.find(u'\\') == std::u16string::npos; }

bool has_exe_extension(const std::u16string& name) {
  return name.size() > 4 && fold_case(name.substr(name.size() - 4)) == u".EXE";
}

std::u16string normalize_main(const std::string& main_name) {
  std::optional<std::u16string> name = utf8_to_utf16(main_name);
  if (!name) throw PackError("--main '" + main_name + "': not valid UTF-8");
  std::replace(name->begin(), name->end(), u'/', u'\\');
  while (name->compare(0, 2, u".\\") == 0) name->erase(0, 2);
  return *name;
}

// --main as a path that leads into the app folder (absolute, or through ".."): the name
// below it; as it is otherwise.
std::string below_app_dir(const std::string& main_name, const fs::path& app_dir) {
  std::error_code error;
  fs::path root = fs::absolute(app_dir, error).lexically_normal();
  fs::path full = fs::absolute(app_dir / fs::u8path(main_name), error).lexically_normal();
  if (error) return main_name;
  fs::path relative = full.lexically_relative(root);
  if (relative.empty() || *relative.begin() == "..") return main_name;
  return relative.generic_u8string();
}

size_t find_named_main(const std::vector<AppFile>& files, const std::string& main_name,
                       const fs::path& app_dir) {
  std::u16string wanted = normalize_main(below_app_dir(main_name, app_dir));
  auto exact = std::find_if(files.begin(), files.end(),
                            [&](const AppFile& file) { return file.name == wanted; });
  if (exact != files.end()) return exact - files.begin();
  std::u16string folded = fold_case(wanted);
  auto loose = std::find_if(files.begin(), files.end(),
                            [&](const AppFile& file) { return fold_case(file.name) == folded; });
  if (loose != files.end()) return loose - files.begin();
  throw PackError((app_dir / std::filesystem::u8path(main_name)).u8string() +
                  ": main executable not found in the app folder");
}

size_t find_only_exe(const std::vector<AppFile>& files, const fs::path& app_dir) {
  std::vector<size_t> found;
  for (size_t i = 0; i < files.size(); ++i) {
    if (is_top_level(files[i]) && has_exe_extension(files[i].name)) found.push_back(i);
  }
  if (found.size() == 1) return found.front();
  std::sort(found.begin(), found.end(),
            [&](size_t a, size_t b) { return files[a].name < files[b].name; });
  if (found.empty()) {
    throw PackError(app_dir.u8string() +
                    ": no .exe at the top of the app folder; name the main executable with --main");
  }
  std::string names;
  for (size_t i : found) names += (names.empty() ? "" : ", ") + utf16_to_utf8(files[i].name);
  throw PackError(app_dir.u8string() + ": several .exe files at the top (" + names +
                  "); choose the main executable with --main");
}

// Windows sees "A\b" and "a\B" as one file, and cannot hold a file and a folder of one name.
void check_collisions(const std::vector<AppFile>& files) {
  std::map<std::u16string, const AppFile*> file_names;
  std::map<std::u16string, const AppFile*> folder_names;
  for (const AppFile& file : files) {
    std::u16string folded = fold_case(file.name);
    auto [it, added] = file_names.emplace(folded, &file);
    if (!added) {
      throw PackError(file.source.u8string() + ": same name as " + it->second->source.u8string() +
                      " when letter case is ignored, as Windows does");
    }
    for (size_t cut = folded.find(u'\\'); cut != std::u16string::npos;
         cut = folded.find(u'\\', cut + 1)) {
      folder_names.emplace(folded.substr(0, cut), &file);
    }
  }
  for (const auto& [name, file] : file_names) {
    auto folder = folder_names.find(name);
    if (folder != folder_names.end()) {
      throw PackError(file->source.u8string() +
                      ": a file of this name would clash with the folder of " +
                      folder->second->source.u8string() + " on Windows");
    }
  }
}

}  // namespace

std::vector<AppFile> plan_archive(std::vector<AppFile> files,
                                  const std::optional<std::string>& main_name,
                                  const fs::path& app_dir) {
  check_collisions(files);
  size_t main_index =
      main_name ? find_named_main(files, *main_name, app_dir) : find_only_exe(files, app_dir);
  std::rotate(files.begin(), files.begin() + main_index, files.begin() + main_index + 1);
  std::sort(files.begin() + 1, files.end(), [](const AppFile& a, const AppFile& b) {
    bool a_top = is_top_level(a);
    bool b_top = is_top_level(b);
    if (a_top != b_top) return a_top;
    return a.name < b.name;
  });
  return files;
}

uint64_t archive_size(const std::vector<AppFile>& entries) {
  uint64_t total = 2;
  for (const AppFile& file : entries) total += 2 * (file.name.size() + 1) + 8 + 4 + file.size;
  return total;
}

}  // namespace pack
