#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/archive/byte_sink.h"
#include "pack/image/icon_set.h"
#include "pack/image/image_digest.h"
#include "pack/image/pe_checksum.h"
#include "pack/image/pe_headers.h"
#include "pack/image/pe_subsystem.h"
#include "pack/image/version_resource.h"
#include "pack/platform/output_file.h"

namespace pack {

// The prebuilt launcher: a PE32+ image with one constants record and no resources.
struct StubBytes {
  const unsigned char* data = nullptr;
  size_t size = 0;
};

// What one launcher carries besides the stub's code and the payload.
struct LauncherContent {
  std::u16string spec;
  std::u16string version_text;
  std::vector<IconImage> icons;
  VersionResource version;
  uint16_t subsystem = pe_subsystem_gui;   // the stub's own; only this header field differs
  uint32_t reuse_rule = 0;                 // support/constants_record.h
  uint32_t options = 0;                    // option_ bits of support/constants_record.h
  uint32_t prune_after_days = 0xFFFFFFFF;  // prune_never: other builds are kept
  uint64_t index_size = 0;                 // the entry index's bytes; 0: none
  uint32_t entry_count = 0;                // the archive's entries; 0: not known
};

// Where the pieces of a launcher go: the stub's sections as they are, then a resource
// section, the entry index's section when there is an index, then the payload's section,
// each at a page-aligned file offset. The headers end in the image's digests.
struct LauncherLayout {
  PeHeaders stub;
  uint64_t record_offset = 0;  // the constants record in the file
  std::vector<unsigned char> resources;
  PeSection resource_section;
  PeSection index_section;    // virtual_size 0: no index
  PeSection payload_section;  // sizes still 0
  uint64_t max_payload = 0;   // the largest payload the image can address
};

constexpr const char* index_section_name = ".kvindex";

// Throws PackError for a spec or version the record cannot hold, or a stub that lacks
// what the writer needs.
LauncherLayout plan_launcher(const StubBytes& stub, const LauncherContent& content);

// Writes a launcher to out: everything up to the payload when made, then the payload
// as it is written (refused once it passes the largest the image can address), then
// finish() completes the headers and the checksum.
class LauncherImage : public ByteSink {
 public:
  LauncherImage(const StubBytes& stub, const LauncherContent& content, OutputFile& out);

  const LauncherLayout& layout() const { return layout_; }
  void write(const void* data, size_t size) override;
  // Replaces the target directory spec before finish(), once the payload is known.
  void set_spec(const std::u16string& spec);
  // The stamp and the entry index (of the size planned) before finish(), once the payload
  // is known; for a launcher under the stamp rule.
  void set_reuse(uint64_t stamp, std::vector<unsigned char> index);
  // Returns the file's size.
  uint64_t finish();

 private:
  void put(const void* data, size_t size);
  // Over bytes already put as zeros.
  void write_at(uint64_t offset, const void* data, size_t size);
  void pad_to(uint64_t offset);
  std::vector<unsigned char> final_headers(uint32_t checksum_field,
                                           const ImageDigests& digests) const;
  ImageDigests image_digests();

  StubBytes stub_;
  LauncherContent content_;
  OutputFile& out_;
  LauncherLayout layout_;
  PeChecksum checksum_;
  uint64_t payload_length_ = 0;
  uint64_t stamp_ = 0;
  std::vector<unsigned char> index_;
  std::vector<unsigned char> head_;  // the file before the payload's section, as written
  Sha256 payload_digest_;
};

// The error for a payload past the image's reach.
std::string payload_too_large(uint64_t length, uint64_t max_payload);

}  // namespace pack
