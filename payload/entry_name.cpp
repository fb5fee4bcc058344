#include "payload/entry_name.h"

#include <cwchar>

#include "payload/entry_name_rule.h"

bool is_safe_entry_name(const wchar_t* name) {
  size_t length = 0;
  while (length <= entry_name_max_units && name[length] != 0) ++length;
  return entry_name_verdict(name, length).fault == EntryNameFault::none;
}

size_t entry_folder_length(const wchar_t* name) {
  const wchar_t* slash = wcsrchr(name, L'\\');
  return slash == nullptr ? 0 : static_cast<size_t>(slash - name) + 1;
}
