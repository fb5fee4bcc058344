#include "pack/inspect/entry_extractor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pack/pack_error.h"
#include "pack/platform/full_path.h"
#include "pack/platform/interrupt_cleanup.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

// With the system's own separator: "/" is a plain unit in a "\\?\" path.
fs::path relative_path(const std::u16string& name) {
  std::u16string native = name;
  for (char16_t& c : native) {
    if (c == u'\\') c = u'/';
  }
  return fs::u8path(utf16_to_utf8(native)).make_preferred();
}

bool inside(const fs::path& folder, const fs::path& path) {
  auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return mismatch.first == folder.end();
}

}  // namespace

EntryExtractor::EntryExtractor(const fs::path& folder) : folder_(folder) {
  std::error_code error;
  resolved_ = resolved_folder(folder, error);
  if (error) throw PackError(folder.u8string() + ": " + error.message());
}

void EntryExtractor::begin(const EntryHeader& entry) {
  if (interrupted()) throw PackError("interrupted");
  CheckingVisitor::begin(entry);  // refuses unsafe names
  target_ = folder_ / relative_path(entry.name);
  std::error_code error;
  fs::create_directories(target_.parent_path(), error);
  // A folder that is a link to elsewhere must not carry files out.
  if (error || !inside(resolved_, resolved_folder(target_.parent_path(), error))) {
    throw PackError("its folder lies outside the folder to extract into, or cannot be made");
  }
  if (fs::exists(fs::symlink_status(target_, error))) {
    throw PackError("the archive holds this name twice, or a file and a folder of one name");
  }
  out_.open(target_, std::ios::binary | std::ios::trunc);
  if (!out_) throw PackError("cannot create " + target_.u8string());
}

void EntryExtractor::data(const unsigned char* bytes, size_t size) {
  if (interrupted()) throw PackError("interrupted");
  CheckingVisitor::data(bytes, size);
  out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  if (!out_) fail_to_write();
}

void EntryExtractor::end() {
  out_.close();
  if (!out_) fail_to_write();
  CheckingVisitor::end();
}

// The system's reason stays in errno from the write that failed (a full disk, a size limit).
void EntryExtractor::fail_to_write() const {
  throw PackError("cannot write " + target_.u8string() + ": " + std::strerror(errno));
}

}  // namespace pack
