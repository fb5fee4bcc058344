#include "pack/pack_error.h"
#include "pack/platform/full_path.h"
#include "pack/platform/output_file.h"
#include "pack/platform/output_node.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

fs::path folder_of(const fs::path& output) {
  fs::path folder = output.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

}  // namespace

fs::path temporary_output_path(const fs::path& output) {
  return folder_of(output) / fs::u8path("." + output.filename().u8string() + ".kovran-tmp");
}

void check_output_path(const fs::path& output) {
  std::error_code error;
  if (output.filename().empty()) {
    throw PackError(output.empty() ? "the output (-o) needs a file name, not an empty text"
                                   : output.u8string() + ": output needs a file name");
  }
  std::string problem = output_path_problem(output);
  if (!problem.empty()) throw PackError(output.u8string() + ": " + problem);
  // A missing folder is made once the inputs are checked.
  if (fs::exists(folder_of(output), error) && !fs::is_directory(folder_of(output), error)) {
    throw PackError(output.u8string() + ": " + folder_of(output).u8string() + " is not a folder");
  }
  if (fs::is_directory(output, error)) throw PackError(output.u8string() + ": output is a folder");
  refuse_unless_file(output);
}

void refuse_unless_file(const fs::path& path) {
  OutputNode node = output_node(path);
  if (node.kind == OutputNode::folder || node.kind == OutputNode::other) {
    throw PackError("'" + path.u8string() + "' is " + node.description + ", not a file");
  }
}

}  // namespace pack
