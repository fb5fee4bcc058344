#pragma once
#include <string>
#include <string_view>

namespace pack {

// Why an archive entry name could not be unpacked safely below a target directory, or
// "" when it can: the rules of a scanned folder for every component, and no empty,
// "." or ".." component (so no leading, trailing or doubled "\"), and at most 1023 units.
std::string entry_name_problem(std::u16string_view name);

}  // namespace pack
