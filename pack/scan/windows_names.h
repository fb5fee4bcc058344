#pragma once
#include <string>
#include <string_view>

namespace pack {

// Why Windows cannot store a file or folder of this name, or "" when it can.
// Checks one path component: reserved device names, trailing dot or space,
// characters that are not allowed, and "\" (our separator).
std::string windows_name_problem(std::u16string_view component);

// Letter case folded the way the file system compares names, for collision checks.
std::u16string fold_case(std::u16string_view name);

}  // namespace pack
