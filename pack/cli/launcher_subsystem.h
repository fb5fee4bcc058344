#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "pack/image/pe_probe.h"

namespace pack {

// The launcher's subsystem and, for the summary, where it came from.
struct SubsystemChoice {
  uint16_t subsystem = 0;
  std::string source;
};

// --subsystem when given, else the main executable's own (main: its headers, when read;
// main_label names it in messages). A main of another subsystem than console or GUI is
// refused with a PackError; no main read at all gives a GUI launcher, as before.
SubsystemChoice choose_subsystem(const std::optional<std::string>& option,
                                 const std::optional<ProgramKind>& main,
                                 const std::string& main_label);

}  // namespace pack
