#pragma once
#include <filesystem>
#include <string>

namespace pack {

// The files of one pack run live in a work folder beside the output, so that the
// finished executable reaches its name by one rename on the same file system. Unless
// commit() ran, the work folder goes away with the object, or when the process is
// interrupted, and the output's old content stays as it was.
class OutputTransaction {
 public:
  explicit OutputTransaction(const std::filesystem::path& output);
  ~OutputTransaction();
  OutputTransaction(const OutputTransaction&) = delete;
  OutputTransaction& operator=(const OutputTransaction&) = delete;

  const std::filesystem::path& work_dir() const { return work_dir_; }
  // A file in the work folder, removed along with it.
  std::filesystem::path work_file(const std::string& name);
  // Moves the work folder's file onto the output.
  void commit(const std::filesystem::path& finished);

 private:
  std::filesystem::path output_;
  std::filesystem::path work_dir_;
};

// Checks the output before any work: its folder exists and it is not a folder itself.
void check_output_path(const std::filesystem::path& output);

}  // namespace pack
