#include <windows.h>

#include "pack/pack_error.h"
#include "pack/platform/windows_error.h"
#include "pack/scan/app_files.h"
#include "pack/scan/windows_names.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

// What a path leads to, links followed.
struct Target {
  bool folder = false;
  uint64_t size = 0;
  uint64_t volume = 0;
  uint64_t index = 0;
};

// Opens without reading, which follows links and works for folders too.
bool look_up(const fs::path& path, Target& target) {
  HANDLE file = CreateFileW(windows_path(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  target.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  target.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  target.volume = info.dwVolumeSerialNumber;
  target.index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return ok;
}

class Scanner {
 public:
  explicit Scanner(const ScanProgress& progress) : progress_(progress) {}

  void scan_folder(const fs::path& folder, const std::u16string& prefix) {
    Target self;
    if (!look_up(folder, self)) fail(folder, last_error_text());
    for (const Target& open : open_folders_) {
      if (open.volume == self.volume && open.index == self.index) {
        fail(folder, "symbolic link loop: leads back to a folder that contains it");
      }
    }
    open_folders_.push_back(self);
    for (const std::wstring& child : list_folder(folder)) {
      scan_entry(folder / child, prefix, std::u16string(child.begin(), child.end()));
    }
    open_folders_.pop_back();
  }

  std::vector<AppFile> take_files() { return std::move(files_); }

 private:
  [[noreturn]] void fail(const fs::path& where, const std::string& reason) const {
    throw PackError(where.u8string() + ": " + reason);
  }

  std::vector<std::wstring> list_folder(const fs::path& folder) const {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW((windows_path(folder) + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) fail(folder, "cannot read folder: " + last_error_text());
    std::vector<std::wstring> names;
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &found));
    bool ended = GetLastError() == ERROR_NO_MORE_FILES;
    std::string problem = ended ? "" : last_error_text();
    FindClose(find);
    if (!ended) fail(folder, "cannot read folder: " + problem);
    return names;
  }

  void scan_entry(const fs::path& path, const std::u16string& prefix,
                  const std::u16string& component) {
    std::string problem = windows_name_problem(component);
    if (!problem.empty()) fail(path, problem);
    std::u16string name = prefix.empty() ? component : prefix + u'\\' + component;

    Target target;
    if (!look_up(path, target)) fail(path, last_error_text());
    if (target.folder) return scan_folder(path, name);
    if (name.size() > max_entry_name_units) {
      fail(path, "name has " + std::to_string(name.size()) + " UTF-16 units, more than the " +
                     std::to_string(max_entry_name_units) + " the launcher can hold");
    }
    check_readable(path);
    files_.push_back({name, path, target.size});
    if (progress_) progress_(files_.size());
  }

  void check_readable(const fs::path& path) const {
    HANDLE file = CreateFileW(windows_path(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) fail(path, "cannot read: " + last_error_text());
    CloseHandle(file);
  }

  std::vector<Target> open_folders_;
  std::vector<AppFile> files_;
  const ScanProgress& progress_;
};

}  // namespace

std::vector<AppFile> scan_app_dir(const fs::path& app_dir, const ScanProgress& progress) {
  Target target;
  if (!look_up(app_dir, target)) {
    throw PackError(app_dir.u8string() + ": app folder not found (" + last_error_text() + ")");
  }
  if (!target.folder) throw PackError(app_dir.u8string() + ": not a folder");
  Scanner scanner(progress);
  scanner.scan_folder(app_dir, u"");
  std::vector<AppFile> files = scanner.take_files();
  if (files.empty()) throw PackError(app_dir.u8string() + ": app folder holds no files");
  return files;
}

}  // namespace pack
