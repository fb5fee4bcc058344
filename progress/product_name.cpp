#include "progress/product_name.h"

#include <windows.h>

#include <cwchar>

namespace {

// A node of a version resource: its length, its value's length (units for text), its type
// (1: text), its key; then its value and its children, each at a multiple of 4 bytes.
struct VersionNode {
  const unsigned char* start;
  size_t length;
};

size_t aligned(size_t offset) { return (offset + 3) & ~size_t{3}; }

WORD word_at(const VersionNode& node, size_t at) {
  return *reinterpret_cast<const WORD*>(node.start + at);
}

const wchar_t* key_of(const VersionNode& node) {
  return reinterpret_cast<const wchar_t*>(node.start + 6);
}

size_t value_offset(const VersionNode& node) {
  return aligned(6 + (wcslen(key_of(node)) + 1) * sizeof(wchar_t));
}

size_t children_offset(const VersionNode& node) {
  size_t value_bytes =
      word_at(node, 4) == 1 ? word_at(node, 2) * sizeof(wchar_t) : word_at(node, 2);
  return aligned(value_offset(node) + value_bytes);
}

// The child named key, or the first child when key is null; false when there is none.
bool find_child(const VersionNode& parent, const wchar_t* key, VersionNode* found) {
  for (size_t at = children_offset(parent); at + 6 < parent.length;) {
    VersionNode child = {parent.start + at, word_at(parent, at)};
    if (child.length < 6 || child.length > parent.length - at) return false;
    if (key == nullptr || wcscmp(key_of(child), key) == 0) {
      *found = child;
      return true;
    }
    at = aligned(at + child.length);
  }
  return false;
}

}  // namespace

void read_product_name(wchar_t* name, size_t capacity) {
  wcsncpy(name, L"the application", capacity - 1);
  name[capacity - 1] = 0;
  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
  HGLOBAL loaded = resource != nullptr ? LoadResource(nullptr, resource) : nullptr;
  if (loaded == nullptr) return;
  VersionNode root = {static_cast<const unsigned char*>(LockResource(loaded)),
                      SizeofResource(nullptr, resource)};
  VersionNode strings, table, product;
  if (root.length < 6 || !find_child(root, L"StringFileInfo", &strings) ||
      !find_child(strings, nullptr, &table) || !find_child(table, L"ProductName", &product)) {
    return;
  }
  size_t at = value_offset(product);
  size_t units = at < product.length ? (product.length - at) / sizeof(wchar_t) : 0;
  if (units >= capacity) units = capacity - 1;
  const wchar_t* value = reinterpret_cast<const wchar_t*>(product.start + at);
  if (units == 0 || value[0] == 0) return;
  wcsncpy(name, value, units);
  name[units] = 0;
}
