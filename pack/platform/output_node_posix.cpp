#include <sys/stat.h>

#include "pack/platform/output_node.h"

namespace pack {
namespace {

OutputNode::Kind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return OutputNode::file;
  return S_ISDIR(mode) ? OutputNode::folder : OutputNode::other;
}

std::string description_of(mode_t mode) {
  if (S_ISREG(mode)) return "a file";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

}  // namespace

// stat() reads the node's type from its inode: a FIFO or a device is never opened.
OutputNode output_node(const std::filesystem::path& path) {
  struct stat own;
  if (lstat(path.c_str(), &own) != 0) return {OutputNode::missing, ""};
  if (!S_ISLNK(own.st_mode)) return {kind_of(own.st_mode), description_of(own.st_mode)};
  struct stat target;
  if (stat(path.c_str(), &target) != 0) return {OutputNode::missing, "a symbolic link to nothing"};
  return {kind_of(target.st_mode), "a symbolic link to " + description_of(target.st_mode)};
}

}  // namespace pack
