#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pack {

// One entry of the section table.
struct PeSection {
  std::string name;
  uint32_t virtual_size = 0;
  uint32_t virtual_address = 0;
  uint32_t raw_size = 0;
  uint32_t raw_offset = 0;
  uint32_t characteristics = 0;
};

// Data directory indices that the pack tool touches.
constexpr int pe_resource_directory = 2;
constexpr int pe_certificate_directory = 4;

// Offsets of header fields, from the start of the optional header (PE32+).
namespace pe_field {
constexpr size_t size_of_initialized_data = 8;
constexpr size_t section_alignment = 32;
constexpr size_t file_alignment = 36;
constexpr size_t size_of_image = 56;
constexpr size_t size_of_headers = 60;
constexpr size_t checksum = 64;
constexpr size_t subsystem = 68;  // the same place in PE32 and PE32+
constexpr size_t rva_count = 108;
constexpr size_t data_directories = 112;
}  // namespace pe_field

constexpr size_t pe_section_header_size = 40;

// The characteristics of every section the pack tool adds: initialized, read-only data.
constexpr uint32_t pe_added_section_flags = 0x40000040;
// The payload's section starts at a multiple of this or of the file alignment, the larger.
constexpr uint32_t pe_payload_file_alignment = 4096;

constexpr uint64_t align_up(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// The headers of a PE32+ image, read from its first bytes, checked against the file's
// size. Enough to find sections by address and to add sections after the last one.
struct PeHeaders {
  uint64_t file_size = 0;
  uint32_t coff_offset = 0;      // the COFF file header, right after "PE\0\0"
  uint32_t optional_offset = 0;  // the optional header
  uint32_t section_table_offset = 0;
  uint32_t section_alignment = 0;
  uint32_t file_alignment = 0;
  uint32_t size_of_image = 0;
  uint32_t size_of_headers = 0;
  uint32_t size_of_initialized_data = 0;
  uint32_t checksum = 0;
  uint16_t subsystem = 0;
  std::vector<std::pair<uint32_t, uint32_t>> directories;  // (rva, size)
  std::vector<PeSection> sections;

  // Where in the file the size bytes at rva lie, if one section holds them all.
  std::optional<uint64_t> file_offset(uint32_t rva, uint32_t size) const;
  // End of the section table: where another section header would go.
  uint32_t section_table_end() const;
};

// Reads the headers from the image's first available bytes (at least its headers).
// Throws PackError with what is wrong for anything that is not a well-formed PE32+
// image for x86-64.
PeHeaders read_pe_headers(const unsigned char* data, size_t available, uint64_t file_size);

// Little-endian field access on byte buffers.
uint32_t get_le(const unsigned char* at, int bytes);

// Little-endian reads of 1 to 4 bytes within a buffer: one that would pass its end throws
// PackError with the message given, which says what is cut short.
class BoundedReader {
 public:
  BoundedReader(const unsigned char* data, size_t size, std::string cut_short)
      : data_(data), size_(size), cut_short_(std::move(cut_short)) {}
  uint32_t at(uint64_t offset, int bytes) const;

 private:
  const unsigned char* data_;
  size_t size_;
  std::string cut_short_;
};
uint64_t get_le64(const unsigned char* at);
void put_le(unsigned char* at, uint64_t value, int bytes);

}  // namespace pack
