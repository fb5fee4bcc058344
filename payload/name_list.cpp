#include "payload/name_list.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

int by_units(const void* a, const void* b) {
  return wcscmp(*static_cast<const wchar_t* const*>(a), *static_cast<const wchar_t* const*>(b));
}

// The first sorted name not before text.
size_t lower_bound(const NameList& list, const wchar_t* text) {
  size_t first = 0, end = list.count;
  while (first < end) {
    size_t middle = first + (end - first) / 2;
    if (wcscmp(list.sorted[middle], text) < 0) {
      first = middle + 1;
    } else {
      end = middle;
    }
  }
  return first;
}

}  // namespace

bool fold_name(wchar_t* text, size_t units) {
  if (units == 0) return true;
  return LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text, static_cast<int>(units), text,
                      static_cast<int>(units)) == static_cast<int>(units);
}

void add_name(NameList& list, const wchar_t* name) {
  size_t units = wcslen(name) + 1;
  if (list.used + units > list.capacity) {
    size_t capacity = (list.capacity + units) * 2;
    void* grown = realloc(list.units, capacity * sizeof(wchar_t));
    if (grown == nullptr) {
      list.incomplete = true;
      return;
    }
    list.units = static_cast<wchar_t*>(grown);
    list.capacity = capacity;
  }
  wmemcpy(list.units + list.used, name, units);
  if (!fold_name(list.units + list.used, units - 1)) list.incomplete = true;
  list.used += units;
  ++list.count;
}

bool sort_names(NameList& list) {
  if (list.incomplete) return false;
  list.sorted = static_cast<const wchar_t**>(malloc((list.count + 1) * sizeof(wchar_t*)));
  if (list.sorted == nullptr) return false;
  size_t at = 0;
  for (size_t i = 0; i < list.count; ++i) {
    list.sorted[i] = list.units + at;
    at += wcslen(list.units + at) + 1;
  }
  qsort(list.sorted, list.count, sizeof(wchar_t*), by_units);
  return true;
}

bool lists_file(const NameList& list, const wchar_t* folded) {
  size_t at = lower_bound(list, folded);
  return at < list.count && wcscmp(list.sorted[at], folded) == 0;
}

bool lists_folder(const NameList& list, const wchar_t* folded_with_backslash) {
  size_t at = lower_bound(list, folded_with_backslash);
  return at < list.count &&
         wcsncmp(list.sorted[at], folded_with_backslash, wcslen(folded_with_backslash)) == 0;
}

void free_names(NameList& list) {
  free(list.units);
  free(list.sorted);
  list = NameList{};
}
