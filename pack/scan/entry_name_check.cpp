#include "pack/scan/entry_name_check.h"

#include "pack/scan/windows_names.h"
#include "payload/entry_name_rule.h"

namespace pack {

std::string entry_name_problem(std::u16string_view name) {
  return name_fault_text(entry_name_verdict(name.data(), name.size()), name);
}

}  // namespace pack
