#pragma once
// A launcher's bytes read and changed the way a tool that edits a file after packing
// would, without the pack tool's own code.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pack_test {

using Image = std::vector<unsigned char>;

uint32_t get32(const Image& b, size_t at);
void put32(Image& b, size_t at, uint32_t value);
size_t optional_header(const Image& image);
// The certificate table's entry in the data directories (PE32+): its offset, then its size.
size_t certificate_directory(const Image& image);

// Where the headers' last bytes hold the image's digests: a tag, then two of 32 bytes.
size_t image_digest_record(const Image& image);
// The record's bytes made zeros, as tools before it left them.
void clear_image_digests(Image& image);

// The PE checksum as the format's documentation gives it.
void rewrite_checksum(Image& image);

// A section's header in the section table; throws when there is none.
size_t section_header(const Image& image, const std::string& name);
bool has_section(const Image& image, const std::string& name);
// Where a section's bytes start in the file, and their count (its virtual size).
size_t section_data(const Image& image, const std::string& name);
size_t section_size(const Image& image, const std::string& name);

}  // namespace pack_test
