#include "builds/build_folder.h"

#include <cwchar>

namespace {

constexpr wchar_t layout_start[] = L"{CACHE_DIR}\\kovran-onefile\\";
constexpr wchar_t root_leaf[] = L"\\kovran-onefile\\";

bool is_hex_digit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// NAME-ID: NAME not empty, without a backslash or a brace, then a dash and the ID.
bool is_leaf(const wchar_t* leaf, size_t length) {
  if (length < build_id_digits + 2 || length >= build_leaf_capacity) return false;
  size_t name_length = length - build_id_digits - 1;
  if (leaf[name_length] != L'-') return false;
  for (size_t i = 0; i < name_length; ++i) {
    if (leaf[i] == L'\\' || leaf[i] == L'/' || leaf[i] == L'{' || leaf[i] == L'}') return false;
  }
  for (size_t i = name_length + 1; i < length; ++i) {
    if (!is_hex_digit(leaf[i])) return false;
  }
  return true;
}

}  // namespace

bool recognize_build_folder(BuildFolder* build, const wchar_t* spec,
                            const wchar_t* target_directory) {
  size_t start = wcslen(layout_start);
  if (wcsncmp(spec, layout_start, start) != 0) return false;
  const wchar_t* leaf = spec + start;
  size_t leaf_length = wcslen(leaf);
  if (!is_leaf(leaf, leaf_length)) return false;
  // The expansion must end in the same folder below a kovran-onefile folder.
  size_t length = wcslen(target_directory);
  size_t tail = wcslen(root_leaf) + leaf_length;
  if (length <= tail || wcscmp(target_directory + length - leaf_length, leaf) != 0) return false;
  const wchar_t* root = target_directory + length - tail;
  if (_wcsnicmp(root, root_leaf, wcslen(root_leaf)) != 0) return false;
  size_t parent_length = length - leaf_length - 1;
  wmemcpy(build->parent, target_directory, parent_length);
  build->parent[parent_length] = 0;
  wmemcpy(build->leaf, leaf, leaf_length + 1);
  build->prefix_length = leaf_length - build_id_digits;
  return true;
}

bool is_build_name(const wchar_t* name, const BuildFolder& build, const wchar_t* suffix,
                   bool open_ended) {
  if (wcsncmp(name, build.leaf, build.prefix_length) != 0) return false;
  const wchar_t* id = name + build.prefix_length;
  for (size_t i = 0; i < build_id_digits; ++i) {
    if (!is_hex_digit(id[i])) return false;
  }
  const wchar_t* rest = id + build_id_digits;
  if (open_ended) return wcsncmp(rest, suffix, wcslen(suffix)) == 0;
  return wcscmp(rest, suffix) == 0;
}
