#include "pack/scan/entry_name_check.h"

#include "pack/scan/app_files.h"
#include "pack/scan/windows_names.h"

namespace pack {

std::string entry_name_problem(std::u16string_view name) {
  if (name.empty()) return "empty name";
  if (name.size() > max_entry_name_units) return "name longer than the launcher can hold";
  if (name.front() == u'\\') return "name starts with a separator";
  for (size_t start = 0;;) {
    size_t cut = name.find(u'\\', start);
    std::u16string_view part = name.substr(
        start, cut == std::u16string_view::npos ? std::u16string_view::npos : cut - start);
    if (part == u"." || part == u"..") return "name holds a '.' or '..' component";
    if (part.empty()) return "name holds an empty component";
    std::string problem = windows_name_problem(part);
    if (!problem.empty()) return problem;
    if (cut == std::u16string_view::npos) return "";
    start = cut + 1;
  }
}

}  // namespace pack
