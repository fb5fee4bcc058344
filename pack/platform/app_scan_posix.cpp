#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "pack/pack_error.h"
#include "pack/scan/app_files.h"
#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

struct FolderId {
  dev_t device;
  ino_t inode;
};

class Scanner {
 public:
  explicit Scanner(const ScanProgress& progress) : progress_(progress) {}

  void scan_folder(const fs::path& folder, const std::u16string& prefix) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) fail(folder, std::strerror(errno));
    for (const FolderId& open : open_folders_) {
      if (open.device == info.st_dev && open.inode == info.st_ino) {
        fail(folder, "symbolic link loop: leads back to a folder that contains it");
      }
    }
    open_folders_.push_back({info.st_dev, info.st_ino});
    for (const std::string& child : list_folder(folder)) scan_entry(folder / child, prefix, child);
    open_folders_.pop_back();
  }

  std::vector<AppFile> take_files() { return std::move(files_); }

 private:
  [[noreturn]] void fail(const fs::path& where, const std::string& reason) const {
    throw PackError(where.string() + ": " + reason);
  }

  std::vector<std::string> list_folder(const fs::path& folder) const {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) fail(folder, std::string("cannot read folder: ") + std::strerror(errno));
    std::vector<std::string> names;
    for (;;) {
      errno = 0;  // readdir tells the end from a failure only through errno
      dirent* entry = readdir(dir.get());
      if (!entry && errno != 0) {
        fail(folder, std::string("cannot read folder: ") + std::strerror(errno));
      }
      if (!entry) return names;
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
  }

  void scan_entry(const fs::path& path, const std::u16string& prefix, const std::string& raw) {
    std::optional<std::u16string> component = utf8_to_utf16(raw);
    if (!component) fail(path, "name is not valid UTF-8");
    std::string problem = windows_name_problem(*component);
    if (!problem.empty()) fail(path, problem);
    std::u16string name = prefix.empty() ? *component : prefix + u'\\' + *component;

    struct stat info {};
    if (stat(path.c_str(), &info) != 0) fail(path, stat_problem(path));
    if (S_ISDIR(info.st_mode)) return scan_folder(path, name);
    if (!S_ISREG(info.st_mode)) fail(path, "not a regular file or folder");
    if (name.size() > max_entry_name_units) {
      fail(path, "name has " + std::to_string(name.size()) + " UTF-16 units, more than the " +
                     std::to_string(max_entry_name_units) + " the launcher can hold");
    }
    check_readable(path);
    files_.push_back({name, path, static_cast<uint64_t>(info.st_size)});
    if (progress_) progress_(files_.size());
  }

  static std::string stat_problem(const fs::path& path) {
    int error = errno;
    if (error == ELOOP) return "symbolic link loop";
    struct stat link {};
    if (error == ENOENT && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      return "symbolic link to nothing";
    }
    return std::strerror(error);
  }

  void check_readable(const fs::path& path) const {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(path, std::string("cannot read: ") + std::strerror(errno));
    close(fd);
  }

  std::vector<FolderId> open_folders_;
  std::vector<AppFile> files_;
  const ScanProgress& progress_;
};

}  // namespace

std::vector<AppFile> scan_app_dir(const fs::path& app_dir, const ScanProgress& progress) {
  struct stat info {};
  if (stat(app_dir.c_str(), &info) != 0) {
    throw PackError(app_dir.string() + ": app folder not found (" + std::strerror(errno) + ")");
  }
  if (!S_ISDIR(info.st_mode)) throw PackError(app_dir.string() + ": not a folder");
  Scanner scanner(progress);
  scanner.scan_folder(app_dir, u"");
  std::vector<AppFile> files = scanner.take_files();
  if (files.empty()) throw PackError(app_dir.string() + ": app folder holds no files");
  return files;
}

}  // namespace pack
