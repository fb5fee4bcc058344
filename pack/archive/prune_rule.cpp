#include "pack/archive/prune_rule.h"

#include "pack/pack_error.h"
#include "support/constants_record.h"

namespace pack {

std::string prune_after_fault(const std::string& text) {
  if (text == "never") return "";
  bool digits = !text.empty() && text.size() <= 5 &&
                text.find_first_not_of("0123456789") == std::string::npos;
  if (digits && std::stoul(text) <= max_prune_after_days) return "";
  return "'" + text + "': give a number of days from 0 to " + std::to_string(max_prune_after_days) +
         ", or never";
}

uint32_t prune_after_days(const std::optional<std::string>& option, bool default_target) {
  if (option) {
    std::string fault = prune_after_fault(*option);
    if (!fault.empty()) throw PackError("--prune-after " + fault);
  }
  if (!default_target || (option && *option == "never")) return prune_never;
  if (!option) return default_prune_after_days;
  return static_cast<uint32_t>(std::stoul(*option));
}

std::string prune_description(uint32_t days) {
  if (days == prune_never) return "never";
  return "other unused builds " + std::to_string(days) + (days == 1 ? " day" : " days") +
         " after their last start, but the most recent";
}

}  // namespace pack
