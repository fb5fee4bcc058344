#include "pack/image/pe_subsystem.h"

namespace pack {

std::optional<uint16_t> subsystem_from_option(const std::string& text) {
  if (text == "console") return pe_subsystem_console;
  if (text == "gui") return pe_subsystem_gui;
  return std::nullopt;
}

std::string subsystem_name(uint16_t subsystem) {
  switch (subsystem) {
    case 1:
      return "native";
    case pe_subsystem_gui:
      return "GUI";
    case pe_subsystem_console:
      return "console";
    case 5:
      return "OS/2 console";
    case 7:
      return "POSIX console";
    case 8:
      return "Windows 9x driver";
    case 9:
      return "Windows CE";
    case 10:
      return "EFI application";
    case 11:
    case 12:
      return "EFI driver";
    case 13:
      return "EFI ROM";
    case 14:
      return "Xbox";
    case 16:
      return "boot application";
    default:
      return "unknown";
  }
}

}  // namespace pack
