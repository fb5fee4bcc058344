#include "pack/output_transaction.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "pack/interrupt_cleanup.h"
#include "pack/pack_error.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

fs::path folder_of(const fs::path& output) {
  fs::path folder = output.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

}  // namespace

void check_output_path(const fs::path& output) {
  std::error_code error;
  if (output.filename().empty()) throw PackError(output.string() + ": output needs a file name");
  if (!fs::is_directory(folder_of(output), error)) {
    throw PackError(output.string() + ": output folder " + folder_of(output).string() +
                    " does not exist");
  }
  if (fs::is_directory(output, error)) throw PackError(output.string() + ": output is a folder");
}

OutputTransaction::OutputTransaction(const fs::path& output) : output_(output) {
  std::string pattern =
      (folder_of(output) / ("." + output.filename().string() + ".kovran-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) {
    throw PackError(output.string() +
                    ": cannot create a work folder beside it: " + std::strerror(errno));
  }
  work_dir_ = pattern;
  cleanup_on_interrupt_folder(work_dir_.c_str());
}

OutputTransaction::~OutputTransaction() {
  cleanup_on_interrupt_clear();
  std::error_code ignored;
  fs::remove_all(work_dir_, ignored);
}

fs::path OutputTransaction::work_file(const std::string& name) {
  fs::path file = work_dir_ / name;
  cleanup_on_interrupt_file(file.c_str());
  return file;
}

void OutputTransaction::commit(const fs::path& finished) {
  if (std::rename(finished.c_str(), output_.c_str()) != 0) {
    throw PackError(output_.string() + ": cannot write: " + std::strerror(errno));
  }
}

}  // namespace pack
