#include "support/build_config.h"

#include <windows.h>

#include "support/constants_record.h"
#include "support/own_image.h"

extern "C" const ConstantsRecord kovran_constants;

namespace {

// Whether [rva, rva + length) lies within one section as the loader maps it.
bool within_a_section(uint64_t rva, uint64_t length) {
  const IMAGE_NT_HEADERS* headers = own_image_headers();
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
  for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
    uint64_t start = section->VirtualAddress;
    uint64_t size = section->Misc.VirtualSize;
    if (rva >= start && rva - start <= size && length <= size - (rva - start)) return true;
  }
  return false;
}

}  // namespace

bool read_attached_data(AttachedData* data) {
  const ConstantsRecord& record = kovran_constants;
  *data = AttachedData{nullptr, 0, nullptr, 0};
  if (!within_a_section(record.payload_rva, record.payload_length)) return false;
  data->payload = own_image_base() + record.payload_rva;
  data->payload_length = record.payload_length;
  if (record.index_length == 0) return true;
  if (!within_a_section(record.index_rva, record.index_length)) return false;
  data->index = own_image_base() + record.index_rva;
  data->index_length = record.index_length;
  return true;
}

uint32_t record_layout() { return kovran_constants.record_layout; }

const wchar_t* target_spec() { return kovran_constants.target_spec; }

const wchar_t* version_string() { return kovran_constants.version_string; }

ReuseRule reuse_rule() {
  return kovran_constants.reuse_rule == reuse_by_stamp ? ReuseRule::stamp : ReuseRule::crc;
}

uint64_t reuse_stamp() { return kovran_constants.stamp; }

uint32_t prune_after_days() { return kovran_constants.prune_after_days; }
uint32_t archive_entry_count() { return kovran_constants.entry_count; }
bool shows_unpack_progress() { return (kovran_constants.options & option_unpack_progress) != 0; }
