#include "pack/inspect/extract_target.h"

#include "pack/pack_error.h"
#include "pack/platform/full_path.h"
#include "pack/platform/output_node.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

constexpr int max_staging_attempts = 100;

std::string refused(const std::string& folder, const std::string& why) {
  return folder + ": " + why + "; extract into a new or empty folder";
}

}  // namespace

ExtractTarget::ExtractTarget(const std::string& folder) : folder_(folder) {
  std::error_code error;
  std::string problem = output_path_problem(fs::u8path(folder));
  if (!problem.empty()) throw PackError(folder + ": " + problem);
  fs::path path = full_path(fs::u8path(folder));
  if (!path.has_filename()) path = path.parent_path();  // written with a trailing separator
  destination_ = path;
  OutputNode node = output_node(path);
  try {
    if (node.kind == OutputNode::other) {
      throw PackError("'" + folder + "' is " + node.description + ", not a folder");
    }
    if (node.kind != OutputNode::missing) {
      if (node.kind == OutputNode::file)
        throw PackError(refused(folder, "a file of that name exists"));
      bool empty = fs::is_empty(path, error);
      if (error) throw PackError(folder + ": cannot read the folder: " + error.message());
      if (!empty) throw PackError(refused(folder, "the folder is not empty"));
      existed_ = true;
      make_staging(path, "");
    } else if (fs::is_symlink(fs::symlink_status(path, error))) {
      throw PackError(refused(folder, "it is a link to nothing"));
    } else {
      make_folders_up_to(path.parent_path());
      make_staging(path.parent_path(), path.filename().u8string());
    }
  } catch (const PackError&) {
    undo();
    throw;
  }
}

ExtractTarget::~ExtractTarget() {
  if (!committed_) undo();
}

void ExtractTarget::undo() {
  std::error_code error;
  if (!staging_.empty()) fs::remove_all(staging_, error);
  staging_.clear();
  // Only the folders made here, and only while empty.
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) fs::remove(*it, error);
  made_.clear();
}

void ExtractTarget::make_folders_up_to(const fs::path& folder) {
  std::vector<fs::path> missing;
  std::error_code error;
  size_t root = root_length(folder);
  for (fs::path p = folder; p.native().size() > root && !fs::exists(p, error);
       p = p.parent_path()) {
    missing.push_back(p);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    bool made = fs::create_directory(*it, error);
    if (error) {
      throw PackError(folder_ + ": cannot create the folder " + it->u8string() + ": " +
                      error.message());
    }
    if (made) made_.push_back(*it);
  }
}

void ExtractTarget::make_staging(const fs::path& beside, const std::string& name) {
  for (int attempt = 0; attempt < max_staging_attempts; ++attempt) {
    std::string suffix = attempt == 0 ? "" : "-" + std::to_string(attempt);
    fs::path candidate = beside / fs::u8path("." + name + ".kovran-extract" + suffix);
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      staging_ = candidate;
      return;
    }
    if (error) {
      throw PackError(folder_ + ": cannot create a staging folder in " + beside.u8string() + ": " +
                      error.message());
    }
  }
  throw PackError(folder_ + ": " + std::to_string(max_staging_attempts) +
                  " staging folders of earlier runs lie in " + beside.u8string() +
                  "; remove the .kovran-extract folders there");
}

void ExtractTarget::move_back(const std::vector<fs::path>& moved) {
  std::error_code error;
  for (const fs::path& name : moved) fs::rename(destination_ / name, staging_ / name, error);
}

void ExtractTarget::commit() {
  std::error_code error;
  if (!existed_) {
    fs::rename(staging_, destination_, error);
    if (error) {
      throw PackError(folder_ + ": cannot move the files into place: " + error.message() +
                      "; nothing was extracted");
    }
  } else {
    // Into the user's own folder one name at a time, never over anything that came
    // into it meanwhile; undone should a move fail.
    std::vector<fs::path> names, moved;
    for (fs::directory_iterator it(staging_, error), end; !error && it != end;
         it.increment(error)) {
      names.push_back(it->path().filename());
    }
    if (error) throw PackError(folder_ + ": cannot read the staging folder: " + error.message());
    for (const fs::path& name : names) {
      fs::path to = destination_ / name;
      if (fs::exists(fs::symlink_status(to, error))) {
        move_back(moved);
        throw PackError(folder_ + ": " + name.u8string() +
                        " appeared in the folder while extracting; nothing was extracted");
      }
      fs::rename(staging_ / name, to, error);
      if (error) {
        move_back(moved);
        throw PackError(folder_ + ": cannot move " + name.u8string() +
                        " into place: " + error.message() + "; nothing was extracted");
      }
      moved.push_back(name);
    }
    fs::remove(staging_, error);
  }
  committed_ = true;
}

}  // namespace pack
