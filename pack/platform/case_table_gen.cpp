// Writes the C.UTF-8 locale's upper-case mapping of the Basic Multilingual Plane as C++
// initialisers. Run when the Linux tool is built: the tool is linked statically and may
// run where no locale files exist, yet must compare names the same way everywhere.
#include <locale.h>

#include <cstdio>
#include <cwctype>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: case_table_gen OUTPUT\n");
    return 2;
  }
  locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (!locale) {
    std::fprintf(stderr, "case_table_gen: the C.UTF-8 locale is not installed\n");
    return 1;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  int pairs = 0;
  for (wint_t c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    wint_t upper = towupper_l(c, locale);
    if (upper == c || upper > 0xFFFF) continue;
    std::fprintf(out, "{0x%04X, 0x%04X},\n", static_cast<unsigned>(c),
                 static_cast<unsigned>(upper));
    ++pairs;
  }
  // A locale without its case tables maps only ASCII; that table would be wrong.
  bool closed = std::fclose(out) == 0;
  if (!closed || pairs < 1000) {
    std::fprintf(stderr, "case_table_gen: %s\n",
                 closed ? "the locale maps too few letters" : "cannot write the table");
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
