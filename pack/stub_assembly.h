#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace pack {

// Assembly source that defines the launcher's build-time constants in .rdata:
// kovran_attached_payload (the block file, included as it is), its 64-bit length, and
// kovran_target_spec and kovran_version_string as NUL-terminated UTF-16LE strings.
std::string stub_assembly(const std::string& block_file, uint64_t block_length,
                          std::u16string_view spec, std::u16string_view version);

// A string literal for the GNU assembler.
std::string asm_string_literal(std::string_view text);

}  // namespace pack
