#pragma once
#include <string>
#include <string_view>

namespace pack {

// Why the launcher could not expand this target directory spec, or "" when it can:
// an unknown placeholder (including "{}"), a brace left open, a stray "}", an empty spec,
// or literal text longer than the launcher's 4096-unit path buffer.
std::string spec_problem(std::u16string_view spec);

// "" when the template names a full path; else where the launcher unpacks, for a
// warning: Windows takes a relative path from the current folder.
std::string relative_spec_note(std::u16string_view spec);

}  // namespace pack
