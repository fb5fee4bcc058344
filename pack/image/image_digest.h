#pragma once
// A launcher's record of its bytes as the tool wrote them: SHA-256 of the image up to
// the payload's section and of that section, in the last bytes of the headers' area,
// which the section table never reaches. Neither digest covers the PE checksum, the
// certificate directory entry or the record's digests, which signing and the record
// itself change; a certificate table lies past the payload's section, so outside both.
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "pack/image/pe_headers.h"
#include "pack/image/sha256.h"

namespace pack {

struct ImageDigests {
  Sha256Digest head{};
  Sha256Digest payload{};
};

// The record: a tag naming the hash, then the two digests.
constexpr char image_digest_tag[8] = "SHA-256";
constexpr size_t image_digest_record_size = sizeof image_digest_tag + 2 * sizeof(Sha256Digest);

// Where the record lies in the file.
uint64_t image_digest_offset(const PeHeaders& headers);
void put_image_digests(unsigned char* record, const ImageDigests& digests);
// Nothing for a record of zeros, as tools before the record left it; throws PackError for
// anything but a record or zeros.
std::optional<ImageDigests> read_image_digests(const unsigned char* record);

// The ranges of the file that are hashed as zeros: (offset, size).
using UnhashedFields = std::array<std::pair<uint64_t, uint64_t>, 3>;
UnhashedFields unhashed_fields(const PeHeaders& headers);
// Zeros what of the fields lies in the size bytes at offset.
void blank_unhashed(const UnhashedFields& fields, uint64_t offset, unsigned char* data,
                    size_t size);

// Both digests of a file whose bytes are given in order from its start: those before
// payload_at go to the head's, those from there to end to the payload's, later ones to
// neither.
class ImageDigester {
 public:
  ImageDigester(const PeHeaders& headers, uint64_t payload_at, uint64_t end)
      : fields_(unhashed_fields(headers)), payload_at_(payload_at), end_(end) {}
  // Blanks the fields in data.
  void add(unsigned char* data, size_t size);
  ImageDigests finish();

 private:
  UnhashedFields fields_;
  uint64_t payload_at_, end_;
  uint64_t offset_ = 0;
  Sha256 head_, payload_;
};

}  // namespace pack
