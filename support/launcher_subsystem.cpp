#include <windows.h>

#include "support/build_config.h"

// The image's first byte, placed by the linker.
extern "C" const unsigned char __ImageBase[];

bool is_console_launcher() {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(__ImageBase);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(__ImageBase + dos->e_lfanew);
  return headers->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}
