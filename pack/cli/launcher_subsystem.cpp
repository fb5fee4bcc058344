#include "pack/cli/launcher_subsystem.h"

#include "pack/image/pe_subsystem.h"
#include "pack/pack_error.h"

namespace pack {

SubsystemChoice choose_subsystem(const std::optional<std::string>& option,
                                 const std::optional<ProgramKind>& main,
                                 const std::string& main_label) {
  if (option) {
    std::optional<uint16_t> chosen = subsystem_from_option(*option);
    if (!chosen) throw PackError("--subsystem must be console or gui, not '" + *option + "'");
    return {*chosen, "chosen by --subsystem"};
  }
  if (!main) return {pe_subsystem_gui, "no main executable read"};
  uint16_t own = main->subsystem;
  if (own != pe_subsystem_console && own != pe_subsystem_gui) {
    throw PackError(main_label + ": the main executable's subsystem is " + std::to_string(own) +
                    " (" + subsystem_name(own) +
                    "); a launcher starts console (3) and GUI (2) programs only");
  }
  return {own, "as the main executable"};
}

}  // namespace pack
