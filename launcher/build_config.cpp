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
