#include <algorithm>
#include <iterator>

#include "pack/scan/windows_names.h"

namespace pack {
namespace {

struct UpperCase {
  char16_t lower;
  char16_t upper;
};

// Generated from the build machine's C.UTF-8 locale (case_table_gen), sorted by the
// first member. Built in rather than loaded: the static tool must fold non-ASCII letters
// the same way on a system that has no locale files at all.
constexpr UpperCase kUpperCase[] = {
#include "case_fold_table.inc"
};

char16_t to_upper(char16_t c) {
  auto it = std::lower_bound(std::begin(kUpperCase), std::end(kUpperCase), c,
                             [](const UpperCase& pair, char16_t key) { return pair.lower < key; });
  return (it != std::end(kUpperCase) && it->lower == c) ? it->upper : c;
}

}  // namespace

std::u16string fold_case(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) {
    if (c < 0xD800 || c > 0xDFFF) c = to_upper(c);
  }
  return folded;
}

}  // namespace pack
