#include "pack/image/launcher_image.h"

#include <algorithm>
#include <cstring>

#include "pack/image/launcher_resources.h"
#include "pack/image/resource_section.h"
#include "pack/pack_error.h"
#include "support/constants_record.h"

namespace pack {
namespace {

// SizeOfImage is 32 bits and a multiple of the section alignment.
constexpr uint64_t max_image_size = 0xFFFFF000;

[[noreturn]] void bad_stub(const std::string& what) {
  throw PackError("the embedded launcher stub is unusable: " + what);
}

uint64_t find_record(const StubBytes& stub, const PeHeaders& headers) {
  const unsigned char* end = stub.data + stub.size;
  const unsigned char* found =
      std::search(stub.data, end, std::begin(constants_marker), std::end(constants_marker));
  if (found == end) bad_stub("no constants record");
  if (std::search(found + 1, end, std::begin(constants_marker), std::end(constants_marker)) !=
      end) {
    bad_stub("two constants records");
  }
  uint64_t offset = static_cast<uint64_t>(found - stub.data);
  for (const PeSection& s : headers.sections) {
    if (offset >= s.raw_offset &&
        offset + sizeof(ConstantsRecord) <= uint64_t{s.raw_offset} + s.raw_size) {
      return offset;
    }
  }
  bad_stub("constants record outside the sections");
}

void check_record_layout(const StubBytes& stub, uint64_t record_offset) {
  if (get_le(stub.data + record_offset + offsetof(ConstantsRecord, record_layout), 4) !=
      record_layout_with_options) {
    bad_stub("its constants record has another layout");
  }
}

// A section of read-only data right after another, in memory and in the file.
PeSection section_after(const PeSection& before, uint64_t size, const PeHeaders& headers,
                        uint32_t file_alignment) {
  PeSection s;
  s.virtual_address = static_cast<uint32_t>(
      align_up(uint64_t{before.virtual_address} + before.virtual_size, headers.section_alignment));
  s.raw_offset = static_cast<uint32_t>(
      align_up(uint64_t{before.raw_offset} + before.raw_size, file_alignment));
  s.virtual_size = static_cast<uint32_t>(size);
  s.raw_size = static_cast<uint32_t>(align_up(size, headers.file_alignment));
  s.characteristics = pe_added_section_flags;
  return s;
}

void check_room_for_sections(const StubBytes& bytes, const PeHeaders& stub) {
  uint64_t end = stub.section_table_end() + 3 * pe_section_header_size;
  uint64_t digests = image_digest_offset(stub);
  if (end > digests || std::any_of(bytes.data + digests, bytes.data + stub.size_of_headers,
                                   [](unsigned char b) { return b != 0; })) {
    bad_stub("no room for the image digests");
  }
  for (const PeSection& s : stub.sections) {
    if (s.raw_size != 0 && s.raw_offset < end) bad_stub("no room for three more section headers");
  }
  if (end > stub.size_of_headers) bad_stub("no room for three more section headers");
  if (stub.directories.size() <= pe_certificate_directory) bad_stub("too few data directories");
  if (stub.directories[pe_resource_directory].first != 0) bad_stub("it carries resources");
  if (stub.directories[pe_certificate_directory].first != 0) bad_stub("it is signed");
}

void put_text(unsigned char* at, std::u16string_view text, size_t capacity, const char* what) {
  if (text.size() + 1 > capacity) {
    throw PackError(std::string(what) + " is " + std::to_string(text.size()) +
                    " UTF-16 units long; a launcher holds at most " + std::to_string(capacity - 1));
  }
  std::memset(at, 0, capacity * 2);
  for (size_t i = 0; i < text.size(); ++i) put_le(at + 2 * i, text[i], 2);
}

void put_section_header(unsigned char* at, const char* name, const PeSection& s) {
  std::memset(at, 0, pe_section_header_size);
  std::memcpy(at, name, std::min<size_t>(std::strlen(name), 8));
  put_le(at + 8, s.virtual_size, 4);
  put_le(at + 12, s.virtual_address, 4);
  put_le(at + 16, s.raw_size, 4);
  put_le(at + 20, s.raw_offset, 4);
  put_le(at + 36, s.characteristics, 4);
}

}  // namespace

std::string payload_too_large(uint64_t length, uint64_t max_payload) {
  return "the payload needs more than " + std::to_string(max_payload) +
         " bytes, the most a Windows executable can address (its image size is 32-bit); it is " +
         std::to_string(length) + " bytes or more";
}

LauncherLayout plan_launcher(const StubBytes& stub, const LauncherContent& content) {
  LauncherLayout layout;
  layout.stub = read_pe_headers(stub.data, stub.size, stub.size);
  const PeHeaders& headers = layout.stub;
  check_room_for_sections(stub, headers);
  layout.record_offset = find_record(stub, headers);
  check_record_layout(stub, layout.record_offset);
  // Checked here, before any work, with the messages users see.
  unsigned char scratch[2 * record_spec_capacity];
  put_text(scratch, content.spec, record_spec_capacity, "--target-dir");
  put_text(scratch, content.version_text, record_version_capacity, "--app-version");

  const PeSection& last = headers.sections.back();
  uint64_t image_end =
      align_up(uint64_t{last.virtual_address} + last.virtual_size, headers.section_alignment);
  uint64_t file_end = align_up(stub.size, headers.file_alignment);
  PeSection& rsrc = layout.resource_section;
  rsrc.virtual_address = static_cast<uint32_t>(image_end);
  rsrc.raw_offset = static_cast<uint32_t>(file_end);
  layout.resources =
      resource_section(launcher_resources(content.icons, content.version), rsrc.virtual_address);
  rsrc.virtual_size = static_cast<uint32_t>(layout.resources.size());
  rsrc.raw_size = static_cast<uint32_t>(align_up(rsrc.virtual_size, headers.file_alignment));
  rsrc.characteristics = pe_added_section_flags;

  const PeSection* before_payload = &rsrc;
  if (content.index_size > 0) {
    if (content.index_size > max_image_size - image_end) {
      throw PackError("the index of the payload's entries needs " +
                      std::to_string(content.index_size) +
                      " bytes, more than a Windows executable can address");
    }
    layout.index_section = section_after(rsrc, content.index_size, headers, headers.file_alignment);
    before_payload = &layout.index_section;
  }
  // Page-aligned in the file, so that a loader maps the payload instead of copying it.
  PeSection& payload = layout.payload_section;
  payload = section_after(*before_payload, 0, headers,
                          std::max(headers.file_alignment, pe_payload_file_alignment));
  if (payload.virtual_address >= max_image_size) {
    throw PackError("the index of the payload's entries leaves no room for the payload");
  }
  layout.max_payload = max_image_size - payload.virtual_address;
  return layout;
}

LauncherImage::LauncherImage(const StubBytes& stub, const LauncherContent& content, OutputFile& out)
    : stub_(stub), content_(content), out_(out), layout_(plan_launcher(stub, content)) {
  // The headers are written last, when every size is known; their bytes are summed then.
  out_.write(stub.data, layout_.stub.size_of_headers);
  head_.assign(stub.data, stub.data + layout_.stub.size_of_headers);
  std::vector<unsigned char> body(stub.data + layout_.stub.size_of_headers, stub.data + stub.size);
  unsigned char* record = &body[layout_.record_offset - layout_.stub.size_of_headers];
  put_le(record + offsetof(ConstantsRecord, payload_rva), layout_.payload_section.virtual_address,
         4);
  // The length is filled in by finish(); zero until then, so it adds nothing to the sum.
  put_le(record + offsetof(ConstantsRecord, payload_length), 0, 8);
  // The spec may name the payload's content, so it is filled in by finish() as well.
  std::memset(record + offsetof(ConstantsRecord, target_spec), 0, 2 * record_spec_capacity);
  put_text(record + offsetof(ConstantsRecord, version_string), content.version_text,
           record_version_capacity, "--app-version");
  put_le(record + offsetof(ConstantsRecord, reuse_rule), content.reuse_rule, 4);
  put_le(record + offsetof(ConstantsRecord, index_rva), layout_.index_section.virtual_address, 4);
  put_le(record + offsetof(ConstantsRecord, index_length), layout_.index_section.virtual_size, 4);
  put_le(record + offsetof(ConstantsRecord, entry_count), content.entry_count, 4);
  // The stamp and the index are filled in by finish(); zeros until then.
  put_le(record + offsetof(ConstantsRecord, stamp), 0, 8);
  put_le(record + offsetof(ConstantsRecord, options), content.options, 4);
  put_le(record + offsetof(ConstantsRecord, prune_after_days), content.prune_after_days, 4);
  put(body.data(), body.size());
  pad_to(layout_.resource_section.raw_offset);
  put(layout_.resources.data(), layout_.resources.size());
  pad_to(layout_.payload_section.raw_offset);
}

void LauncherImage::put(const void* data, size_t size) {
  checksum_.add(out_.size(), data, size);
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  uint64_t payload_at = layout_.payload_section.raw_offset;
  size_t head = out_.size() >= payload_at
                    ? 0
                    : static_cast<size_t>(std::min<uint64_t>(size, payload_at - out_.size()));
  head_.insert(head_.end(), bytes, bytes + head);
  payload_digest_.add(bytes + head, size - head);
  out_.write(data, size);
}

void LauncherImage::pad_to(uint64_t offset) {
  static const unsigned char zeros[4096] = {};
  while (out_.size() < offset) {
    put(zeros, static_cast<size_t>(std::min<uint64_t>(sizeof zeros, offset - out_.size())));
  }
}

void LauncherImage::write(const void* data, size_t size) {
  if (payload_length_ + size > layout_.max_payload) {
    throw PackError(payload_too_large(payload_length_ + size, layout_.max_payload));
  }
  put(data, size);
  payload_length_ += size;
}

std::vector<unsigned char> LauncherImage::final_headers(uint32_t checksum_field,
                                                        const ImageDigests& digests) const {
  const PeHeaders& stub = layout_.stub;
  std::vector<unsigned char> headers(stub_.data, stub_.data + stub.size_of_headers);
  PeSection payload = layout_.payload_section;
  payload.virtual_size = static_cast<uint32_t>(payload_length_);
  payload.raw_size = static_cast<uint32_t>(align_up(payload_length_, stub.file_alignment));
  const PeSection& rsrc = layout_.resource_section;
  const PeSection& index = layout_.index_section;
  bool has_index = index.virtual_size > 0;

  unsigned char* coff = &headers[stub.coff_offset];
  put_le(coff + 2, stub.sections.size() + (has_index ? 3 : 2), 2);
  put_le(coff + 4, 0, 4);  // time stamp: same inputs, same bytes
  unsigned char* opt = &headers[stub.optional_offset];
  put_le(
      opt + pe_field::size_of_initialized_data,
      uint64_t{stub.size_of_initialized_data} + rsrc.raw_size + index.raw_size + payload.raw_size,
      4);
  put_le(opt + pe_field::size_of_image,
         align_up(uint64_t{payload.virtual_address} + payload.virtual_size, stub.section_alignment),
         4);
  put_le(opt + pe_field::checksum, checksum_field, 4);
  put_le(opt + pe_field::subsystem, content_.subsystem, 2);
  unsigned char* resource_entry = opt + pe_field::data_directories + 8 * pe_resource_directory;
  put_le(resource_entry, rsrc.virtual_address, 4);
  put_le(resource_entry + 4, rsrc.virtual_size, 4);
  unsigned char* table = &headers[stub.section_table_end()];
  put_section_header(table, ".rsrc", rsrc);
  if (has_index) {
    table += pe_section_header_size;
    put_section_header(table, index_section_name, index);
  }
  put_section_header(table + pe_section_header_size, ".payload", payload);
  put_image_digests(&headers[image_digest_offset(stub)], digests);
  return headers;
}

void LauncherImage::set_reuse(uint64_t stamp, std::vector<unsigned char> index) {
  if (index.size() != layout_.index_section.virtual_size) {
    throw PackError("internal: the entry index is not of the size planned");
  }
  stamp_ = stamp;
  index_ = std::move(index);
}

// The digests over the headers as they will be, blank where neither covers them.
ImageDigests LauncherImage::image_digests() {
  std::vector<unsigned char> headers = final_headers(0, ImageDigests{});
  std::copy(headers.begin(), headers.end(), head_.begin());
  blank_unhashed(unhashed_fields(layout_.stub), 0, head_.data(), head_.size());
  Sha256 head;
  head.add(head_.data(), head_.size());
  return ImageDigests{head.finish(), payload_digest_.finish()};
}

void LauncherImage::write_at(uint64_t offset, const void* data, size_t size) {
  // Only what lies before the payload is ever written again.
  if (offset + size > head_.size()) throw PackError("internal: the payload written again");
  out_.write_at(offset, data, size);
  std::memcpy(&head_[offset], data, size);
  checksum_.add(offset, data, size);
}

void LauncherImage::set_spec(const std::u16string& spec) {
  unsigned char scratch[2 * record_spec_capacity];
  put_text(scratch, spec, record_spec_capacity, "--target-dir");
  content_.spec = spec;
}

uint64_t LauncherImage::finish() {
  pad_to(align_up(out_.size(), layout_.stub.file_alignment));
  unsigned char length[8];
  put_le(length, payload_length_, 8);
  write_at(layout_.record_offset + offsetof(ConstantsRecord, payload_length), length,
           sizeof length);
  unsigned char spec[2 * record_spec_capacity];
  put_text(spec, content_.spec, record_spec_capacity, "--target-dir");
  write_at(layout_.record_offset + offsetof(ConstantsRecord, target_spec), spec, sizeof spec);
  unsigned char stamp[8];
  put_le(stamp, stamp_, 8);
  write_at(layout_.record_offset + offsetof(ConstantsRecord, stamp), stamp, sizeof stamp);
  if (!index_.empty()) write_at(layout_.index_section.raw_offset, index_.data(), index_.size());

  ImageDigests digests = image_digests();
  std::vector<unsigned char> headers = final_headers(0, digests);
  checksum_.add(0, headers.data(), headers.size());
  uint64_t file_size = out_.size();
  headers = final_headers(checksum_.value(file_size), digests);
  out_.write_at(0, headers.data(), headers.size());
  return file_size;
}

}  // namespace pack
