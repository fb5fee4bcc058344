#include "tests/pack/image/handmade_program.h"

namespace pack_test {
namespace {

constexpr uint32_t section_rva = 0x1000;

void put(std::string& out, size_t at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string program_with_section(const std::vector<unsigned char>& section, uint32_t rva,
                                 uint32_t raw_offset) {
  std::string out(raw_offset, '\0');
  out[0] = 'M', out[1] = 'Z';
  put(out, 0x3C, 64, 4);
  out.replace(64, 4, std::string("PE\0\0", 4));
  size_t coff = 68, opt = coff + 20;
  put(out, coff, 0x8664, 2);
  put(out, coff + 2, 1, 2);
  put(out, coff + 16, 240, 2);  // optional header with 16 data directories
  put(out, coff + 18, 0x22, 2);
  put(out, opt, 0x20B, 2);
  put(out, opt + 68, 2, 2);  // a GUI program
  put(out, opt + 108, 16, 4);
  put(out, opt + 112 + 16, rva, 4);
  put(out, opt + 112 + 20, section.size(), 4);
  size_t header = opt + 240;
  out.replace(header, 5, ".rsrc");
  put(out, header + 8, section.size(), 4);
  put(out, header + 12, section_rva, 4);
  put(out, header + 16, section.size(), 4);
  put(out, header + 20, raw_offset, 4);
  out.append(section.begin(), section.end());
  return out;
}

std::string program_with_resources(const std::vector<pack::ResourceItem>& items,
                                   uint32_t raw_offset) {
  return program_with_section(pack::resource_section(items, section_rva), section_rva, raw_offset);
}

}  // namespace pack_test
