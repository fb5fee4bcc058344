#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/image/resource_section.h"

namespace pack_test {

// A PE32+ program file with one section, the resource section, at raw_offset in the
// file, written by the pack tool's own resource writer. Nothing can run it.
std::string program_with_resources(const std::vector<pack::ResourceItem>& items,
                                   uint32_t raw_offset = 0x400);

// The same with raw resource section bytes, loaded at rva.
std::string program_with_section(const std::vector<unsigned char>& section, uint32_t rva,
                                 uint32_t raw_offset = 0x400);

}  // namespace pack_test
