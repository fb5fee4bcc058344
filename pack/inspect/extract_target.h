#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace pack {

// The folder that extract fills: a new or empty one, checked before anything is
// decoded. Files go to a hidden staging folder (beside a new destination, inside an
// empty one, so that it is on the same file system) and reach the destination only
// through commit(), once every entry is in and checked. Until then nothing of the
// user's is changed; without commit() everything made on the way is removed again.
class ExtractTarget {
 public:
  // folder as the user wrote it, for messages. Throws PackError for a destination
  // that is a file or a folder that holds anything.
  explicit ExtractTarget(const std::string& folder);
  ~ExtractTarget();
  ExtractTarget(const ExtractTarget&) = delete;
  ExtractTarget& operator=(const ExtractTarget&) = delete;

  const std::filesystem::path& staging() const { return staging_; }
  void commit();

 private:
  void make_folders_up_to(const std::filesystem::path& folder);
  void make_staging(const std::filesystem::path& beside, const std::string& name);
  void move_back(const std::vector<std::filesystem::path>& moved);
  void undo();

  std::string folder_;
  std::filesystem::path destination_;
  std::filesystem::path staging_;
  std::vector<std::filesystem::path> made_;  // folders made on the way, outermost first
  bool existed_ = false;
  bool committed_ = false;
};

}  // namespace pack
