#include "pack/inspect/entry_extractor.h"

#include <algorithm>

#include "pack/pack_error.h"
#include "pack/scan/entry_name_check.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

fs::path relative_path(const std::u16string& name) {
  std::u16string native = name;
  for (char16_t& c : native) {
    if (c == u'\\') c = u'/';
  }
  return fs::u8path(utf16_to_utf8(native));
}

bool inside(const fs::path& folder, const fs::path& path) {
  auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return mismatch.first == folder.end();
}

}  // namespace

EntryExtractor::EntryExtractor(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) {
    throw PackError(folder.u8string() + ": cannot create the folder to extract into");
  }
  folder_ = fs::canonical(folder);
}

EntryExtractor::~EntryExtractor() {
  if (out_.is_open()) {
    out_.close();
    std::error_code error;
    fs::remove(part_, error);
  }
}

void EntryExtractor::begin(const EntryHeader& entry) {
  CheckingVisitor::begin(entry);
  std::string problem = entry_name_problem(entry.name);
  if (!problem.empty()) throw PackError("unsafe entry name: " + problem);
  target_ = folder_ / relative_path(entry.name);
  std::error_code error;
  fs::create_directories(target_.parent_path(), error);
  // A folder that is a link to elsewhere must not carry files out.
  if (error || !inside(folder_, fs::canonical(target_.parent_path(), error))) {
    throw PackError("its folder lies outside " + folder_.u8string() + " or cannot be made");
  }
  if (fs::exists(fs::symlink_status(target_))) {
    throw PackError(target_.u8string() + " already exists; extract into a new or empty folder");
  }
  part_ = target_;
  part_ += ".kovran-part";
  out_.open(part_, std::ios::binary | std::ios::trunc);
  if (!out_) throw PackError("cannot create " + part_.u8string());
}

void EntryExtractor::data(const unsigned char* bytes, size_t size) {
  CheckingVisitor::data(bytes, size);
  out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

void EntryExtractor::end() {
  out_.close();
  std::error_code error;
  try {
    if (!out_) throw PackError("cannot write " + part_.u8string());
    CheckingVisitor::end();
  } catch (const PackError&) {
    fs::remove(part_, error);
    throw;
  }
  fs::rename(part_, target_, error);
  if (error) throw PackError("cannot write " + target_.u8string() + ": " + error.message());
}

}  // namespace pack
