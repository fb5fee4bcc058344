#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pack_test {

struct HandmadeEntry {
  std::u16string name;
  std::string data;
  std::optional<uint32_t> checksum = std::nullopt;  // stored instead of the data's true CRC-32
};

// A payload block put together here, without the tool: entries with any names, their
// true CRC-32s unless given, one zstd frame, fill bytes (zeros unless given) and trailer.
std::string handmade_block(const std::vector<HandmadeEntry>& entries, const std::string& fill = "");

}  // namespace pack_test
