#pragma once
#include <string>
#include <utility>
#include <vector>

namespace pack_test {

// A payload block put together here, without the tool: entries with any names, their
// true CRC-32s, one zstd frame, zero fill and trailer.
std::string handmade_block(const std::vector<std::pair<std::u16string, std::string>>& entries);

}  // namespace pack_test
