#include "pack/image/pe_headers.h"

#include "pack/pack_error.h"

namespace pack {
namespace {

constexpr uint32_t pe_signature = 0x00004550;  // "PE\0\0"
constexpr uint32_t machine_amd64 = 0x8664;
constexpr uint32_t magic_pe32_plus = 0x20B;

[[noreturn]] void bad(const std::string& what) {
  throw PackError("not a usable PE image: " + what);
}

PeSection read_section(const BoundedReader& bytes, uint32_t at) {
  PeSection section;
  for (uint32_t i = 0; i < 8 && bytes.at(at + i, 1) != 0; ++i) {
    section.name += static_cast<char>(bytes.at(at + i, 1));
  }
  section.virtual_size = bytes.at(at + 8, 4);
  section.virtual_address = bytes.at(at + 12, 4);
  section.raw_size = bytes.at(at + 16, 4);
  section.raw_offset = bytes.at(at + 20, 4);
  section.characteristics = bytes.at(at + 36, 4);
  return section;
}

void check_sections(const PeHeaders& headers) {
  uint64_t previous_end = headers.size_of_headers;
  for (const PeSection& s : headers.sections) {
    if (s.virtual_address < previous_end) bad("section " + s.name + " out of order");
    previous_end = uint64_t{s.virtual_address} + s.virtual_size;
    if (s.raw_size != 0 && uint64_t{s.raw_offset} + s.raw_size > headers.file_size) {
      bad("section " + s.name + " lies past the end of the file");
    }
  }
  if (previous_end > headers.size_of_image) bad("sections end past the image size");
}

}  // namespace

uint32_t get_le(const unsigned char* at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

uint32_t BoundedReader::at(uint64_t offset, int bytes) const {
  if (offset + static_cast<uint64_t>(bytes) > size_) throw PackError(cut_short_);
  return get_le(data_ + offset, bytes);
}

uint64_t get_le64(const unsigned char* at) {
  return get_le(at, 4) | uint64_t{get_le(at + 4, 4)} << 32;
}

void put_le(unsigned char* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::optional<uint64_t> PeHeaders::file_offset(uint32_t rva, uint32_t size) const {
  for (const PeSection& s : sections) {
    uint64_t end = uint64_t{rva} + size;
    if (rva >= s.virtual_address && end <= uint64_t{s.virtual_address} + s.raw_size &&
        end <= uint64_t{s.virtual_address} + s.virtual_size) {
      return uint64_t{s.raw_offset} + (rva - s.virtual_address);
    }
  }
  return std::nullopt;
}

uint32_t PeHeaders::section_table_end() const {
  return section_table_offset + static_cast<uint32_t>(sections.size() * pe_section_header_size);
}

PeHeaders read_pe_headers(const unsigned char* data, size_t available, uint64_t file_size) {
  BoundedReader bytes(data, available < file_size ? available : static_cast<size_t>(file_size),
                      "not a usable PE image: headers cut short");
  if (bytes.at(0, 2) != 0x5A4D) bad("no MZ header");
  PeHeaders headers;
  headers.file_size = file_size;
  uint32_t pe = bytes.at(0x3C, 4);
  if (bytes.at(pe, 4) != pe_signature) bad("no PE signature");
  headers.coff_offset = pe + 4;
  if (bytes.at(headers.coff_offset, 2) != machine_amd64) bad("not an x86-64 image");
  uint32_t section_count = bytes.at(headers.coff_offset + 2, 2);
  uint32_t optional_size = bytes.at(headers.coff_offset + 16, 2);
  uint32_t opt = headers.optional_offset = headers.coff_offset + 20;
  if (bytes.at(opt, 2) != magic_pe32_plus) bad("not a PE32+ image");
  headers.size_of_initialized_data = bytes.at(opt + pe_field::size_of_initialized_data, 4);
  headers.section_alignment = bytes.at(opt + pe_field::section_alignment, 4);
  headers.file_alignment = bytes.at(opt + pe_field::file_alignment, 4);
  headers.size_of_image = bytes.at(opt + pe_field::size_of_image, 4);
  headers.size_of_headers = bytes.at(opt + pe_field::size_of_headers, 4);
  headers.checksum = bytes.at(opt + pe_field::checksum, 4);
  headers.subsystem = static_cast<uint16_t>(bytes.at(opt + pe_field::subsystem, 2));
  uint32_t rva_count = bytes.at(opt + pe_field::rva_count, 4);
  if (rva_count > 16 || pe_field::data_directories + rva_count * 8 > optional_size) {
    bad("data directories do not fit the optional header");
  }
  for (uint32_t i = 0; i < rva_count; ++i) {
    uint32_t at = opt + static_cast<uint32_t>(pe_field::data_directories) + i * 8;
    headers.directories.emplace_back(bytes.at(at, 4), bytes.at(at + 4, 4));
  }
  auto power_of_two = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (!power_of_two(headers.section_alignment) || !power_of_two(headers.file_alignment) ||
      headers.file_alignment > headers.section_alignment) {
    bad("alignments are not usable");
  }
  headers.section_table_offset = opt + optional_size;
  for (uint32_t i = 0; i < section_count; ++i) {
    headers.sections.push_back(read_section(
        bytes, headers.section_table_offset + i * static_cast<uint32_t>(pe_section_header_size)));
  }
  if (headers.section_table_end() > headers.size_of_headers) bad("section table past the headers");
  check_sections(headers);
  return headers;
}

}  // namespace pack
