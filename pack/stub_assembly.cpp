#include "pack/stub_assembly.h"

#include <cstdio>

namespace pack {
namespace {

std::string global_label(const char* name, int alignment_log) {
  return std::string("\t.globl ") + name + "\n\t.p2align " + std::to_string(alignment_log) + "\n" +
         name + ":\n";
}

std::string wide_string(const char* name, std::u16string_view text) {
  std::string out = global_label(name, 1);
  size_t column = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    out += column == 0 ? "\t.short " : ",";
    out += std::to_string(i < text.size() ? text[i] : 0);
    if (++column == 16 || i == text.size()) out += "\n", column = 0;
  }
  return out;
}

}  // namespace

std::string asm_string_literal(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string stub_assembly(const std::string& block_file, uint64_t block_length,
                          std::u16string_view spec, std::u16string_view version) {
  return "\t.section .rdata,\"dr\"\n" + global_label("kovran_attached_payload", 4) + "\t.incbin " +
         asm_string_literal(block_file) + "\n" + global_label("kovran_attached_payload_length", 3) +
         "\t.quad " + std::to_string(block_length) + "\n" +
         wide_string("kovran_target_spec", spec) + wide_string("kovran_version_string", version);
}

}  // namespace pack
