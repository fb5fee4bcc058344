#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace pack {

// The first facts of a program file, enough to tell whether Windows can start it.
struct ProgramKind {
  std::string problem;  // "" for a PE executable
  uint16_t machine = 0;
  bool is_x64() const { return machine == 0x8664; }
};

// Reads the MZ header and the PE signature at the place it names.
ProgramKind probe_program(const std::filesystem::path& path);

}  // namespace pack
