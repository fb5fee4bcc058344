#include "pack/image/image_digest.h"

#include <algorithm>
#include <cstring>

#include "pack/pack_error.h"

namespace pack {

uint64_t image_digest_offset(const PeHeaders& headers) {
  return headers.size_of_headers - image_digest_record_size;
}

void put_image_digests(unsigned char* record, const ImageDigests& digests) {
  std::memcpy(record, image_digest_tag, sizeof image_digest_tag);
  std::memcpy(record + sizeof image_digest_tag, digests.head.data(), digests.head.size());
  std::memcpy(record + sizeof image_digest_tag + digests.head.size(), digests.payload.data(),
              digests.payload.size());
}

std::optional<ImageDigests> read_image_digests(const unsigned char* record) {
  const unsigned char* end = record + image_digest_record_size;
  if (std::all_of(record, end, [](unsigned char b) { return b == 0; })) return std::nullopt;
  if (std::memcmp(record, image_digest_tag, sizeof image_digest_tag) != 0) {
    throw PackError("its headers end in bytes the pack tool does not write");
  }
  ImageDigests digests;
  const unsigned char* head = record + sizeof image_digest_tag;
  std::copy(head, head + digests.head.size(), digests.head.begin());
  std::copy(head + digests.head.size(), end, digests.payload.begin());
  return digests;
}

UnhashedFields unhashed_fields(const PeHeaders& headers) {
  uint64_t certificate_entry =
      headers.optional_offset + pe_field::data_directories + 8 * pe_certificate_directory;
  return {{{headers.optional_offset + pe_field::checksum, 4},
           {certificate_entry, 8},
           {image_digest_offset(headers) + sizeof image_digest_tag, 2 * sizeof(Sha256Digest)}}};
}

void blank_unhashed(const UnhashedFields& fields, uint64_t offset, unsigned char* data,
                    size_t size) {
  for (auto [at, length] : fields) {
    uint64_t from = std::max(at, offset), to = std::min(at + length, offset + size);
    if (from < to) std::memset(data + (from - offset), 0, static_cast<size_t>(to - from));
  }
}

void ImageDigester::add(unsigned char* data, size_t size) {
  blank_unhashed(fields_, offset_, data, size);
  uint64_t end = offset_ + size;
  uint64_t head_end = std::min(end, std::max(offset_, payload_at_));
  uint64_t payload_end = std::max(head_end, std::min(end, end_));
  head_.add(data, static_cast<size_t>(head_end - offset_));
  payload_.add(data + (head_end - offset_), static_cast<size_t>(payload_end - head_end));
  offset_ = end;
}

ImageDigests ImageDigester::finish() { return {head_.finish(), payload_.finish()}; }

}  // namespace pack
