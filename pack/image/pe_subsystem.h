#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace pack {

// The optional header's Subsystem values a launcher can have.
constexpr uint16_t pe_subsystem_gui = 2;
constexpr uint16_t pe_subsystem_console = 3;

// "console" or "gui", as the command line spells them; nullopt for any other text.
std::optional<uint16_t> subsystem_from_option(const std::string& text);

// What a user calls the subsystem: "console", "GUI", "native", "EFI application"...
std::string subsystem_name(uint16_t subsystem);

}  // namespace pack
