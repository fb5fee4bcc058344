#pragma once
#include <string>

namespace pack {

// The application manifest every launcher carries (resource type 24, id 1).
std::string application_manifest();

}  // namespace pack
