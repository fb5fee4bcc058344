#include "launcher/build_config.h"

#include <windows.h>

#include "launcher/constants_record.h"

extern "C" {
extern const ConstantsRecord kovran_constants;
// The linker's symbol for the image's first byte: the base that RVAs count from.
extern IMAGE_DOS_HEADER __ImageBase;
}

const unsigned char* attached_payload() {
  return reinterpret_cast<const unsigned char*>(&__ImageBase) + kovran_constants.payload_rva;
}

uint64_t attached_payload_length() { return kovran_constants.payload_length; }

const wchar_t* target_spec() { return kovran_constants.target_spec; }

const wchar_t* version_string() { return kovran_constants.version_string; }

bool reuses_by_stamp() { return kovran_constants.reuse_rule == reuse_by_stamp; }

uint64_t reuse_stamp() { return kovran_constants.stamp; }

const unsigned char* entry_index() {
  if (kovran_constants.index_length == 0) return nullptr;
  return reinterpret_cast<const unsigned char*>(&__ImageBase) + kovran_constants.index_rva;
}

uint32_t entry_index_length() { return kovran_constants.index_length; }
