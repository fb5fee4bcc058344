#pragma once
// The names of a build's entries, in the file system's letter case folded, for telling
// what below its folder the build does not hold.
#include <cstddef>

struct NameList {
  wchar_t* units;
  size_t used;
  size_t capacity;
  const wchar_t** sorted;
  size_t count;
  // A name could not be added: the list is not whole and must not be relied on.
  bool incomplete;
};

void add_name(NameList& list, const wchar_t* name);
// Sorts the names for lookup; false when the list is not whole.
bool sort_names(NameList& list);
// Whether a folded relative path is one of the names; whether one, ending in a backslash,
// is a folder that holds one.
bool lists_file(const NameList& list, const wchar_t* folded);
bool lists_folder(const NameList& list, const wchar_t* folded_with_backslash);
void free_names(NameList& list);
// Folds units of text in place as the file system compares names; false when it cannot.
bool fold_name(wchar_t* text, size_t units);
