#pragma once
#include <string>
#include <string_view>

#include "payload/entry_name_rule.h"

namespace pack {

// The user's text for a name that the entry name rule refuses, or "" for none.
std::string name_fault_text(EntryNameVerdict verdict, std::u16string_view name);

// Why Windows cannot store a file or folder of this name, or "" when it can.
// Checks one path component by the entry name rule the launcher holds names to:
// reserved device names, "." and "..", trailing dot or space, characters that are
// not allowed, and "\" (our separator).
std::string windows_name_problem(std::u16string_view component);

// Letter case folded the way the file system compares names, for collision checks.
std::u16string fold_case(std::u16string_view name);

}  // namespace pack
