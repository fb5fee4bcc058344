#include <locale.h>

#include <cwctype>

#include "pack/scan/windows_names.h"

namespace pack {
namespace {

locale_t utf8_locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

char16_t ascii_upper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

}  // namespace

std::u16string fold_case(std::u16string_view name) {
  std::u16string folded(name);
  locale_t locale = utf8_locale();
  for (char16_t& c : folded) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    wint_t upper = locale ? towupper_l(c, locale) : ascii_upper(c);
    if (upper <= 0xFFFF) c = static_cast<char16_t>(upper);
  }
  return folded;
}

}  // namespace pack
