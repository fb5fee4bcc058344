#include "pack/image/pe_probe.h"

#include <fstream>
#include <vector>

#include "pack/image/pe_headers.h"

namespace pack {
namespace {

constexpr uint32_t coff_header_size = 20;

// PE32 and PE32+ keep the field at the same place; a header that ends before it has none.
uint16_t read_subsystem(const unsigned char* head, size_t size, uint32_t pe) {
  uint32_t optional_size = get_le(&head[pe + 4 + 16], 2);
  uint64_t field = uint64_t{pe} + 4 + coff_header_size + pe_field::subsystem;
  if (optional_size < pe_field::subsystem + 2 || field + 2 > size) return 0;
  return static_cast<uint16_t>(get_le(&head[field], 2));
}

}  // namespace

ProgramKind probe_program(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> head(program_probe_bytes);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  return probe_program(head.data(), static_cast<size_t>(in.gcount()));
}

ProgramKind probe_program(const unsigned char* head, size_t size) {
  ProgramKind kind;
  if (size < 64 || head[0] != 'M' || head[1] != 'Z') {
    kind.problem = "not a Windows program (no MZ header)";
    return kind;
  }
  uint32_t pe = get_le(&head[0x3C], 4);
  if (uint64_t{pe} + 24 > size || get_le(&head[pe], 4) != 0x00004550) {
    kind.problem = "not a Windows program (no PE header)";
    return kind;
  }
  uint16_t characteristics = static_cast<uint16_t>(get_le(&head[pe + 22], 2));
  if ((characteristics & 0x0002) == 0 || (characteristics & 0x2000) != 0) {
    kind.problem = "a PE file, but not an executable program (a DLL or an object)";
    return kind;
  }
  kind.machine = static_cast<uint16_t>(get_le(&head[pe + 4], 2));
  kind.subsystem = read_subsystem(head, size, pe);
  return kind;
}

}  // namespace pack
