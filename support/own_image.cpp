#include "support/own_image.h"

// The image's first byte, placed by the linker.
extern "C" const unsigned char __ImageBase[];

const unsigned char* own_image_base() { return __ImageBase; }

const IMAGE_NT_HEADERS* own_image_headers() {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(__ImageBase);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(__ImageBase + dos->e_lfanew);
}

bool is_console_launcher() {
  return own_image_headers()->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}
