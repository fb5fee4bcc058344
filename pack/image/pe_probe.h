#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace pack {

// The first facts of a program file, enough to tell whether Windows can start it.
struct ProgramKind {
  std::string problem;  // "" for a PE executable
  uint16_t machine = 0;
  // The optional header's Subsystem; 0 when the header is too short to hold it.
  uint16_t subsystem = 0;
  bool is_x64() const { return machine == 0x8664; }
};

// Reads the MZ header and the PE signature at the place it names.
ProgramKind probe_program(const std::filesystem::path& path);

// The same from a program's first bytes (the first 4096 are enough).
ProgramKind probe_program(const unsigned char* head, size_t size);

constexpr size_t program_probe_bytes = 4096;

}  // namespace pack
