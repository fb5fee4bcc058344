#include "pack/image/pe_probe.h"

#include <fstream>
#include <vector>

#include "pack/image/pe_headers.h"

namespace pack {

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
  return kind;
}

}  // namespace pack
