#include "pack/scan/windows_names.h"

#include "payload/entry_name_rule.h"

namespace pack {

std::string name_fault_text(EntryNameVerdict verdict, std::u16string_view name) {
  switch (verdict.fault) {
    case EntryNameFault::none:
      return "";
    case EntryNameFault::empty:
      return "empty name";
    case EntryNameFault::too_long:
      return "name longer than the launcher can hold";
    case EntryNameFault::leading_separator:
      return "name starts with a separator";
    case EntryNameFault::empty_component:
      return "name holds an empty component";
    case EntryNameFault::dot_component:
      return "name holds a '.' or '..' component";
    case EntryNameFault::control_unit:
      return "name holds a control character, which Windows does not allow";
    case EntryNameFault::forbidden_unit:
      return std::string("name holds '") + static_cast<char>(name[verdict.at]) +
             "', which Windows does not allow in file names";
    case EntryNameFault::trailing_dot_or_space:
      return "name ends with a dot or a space, which Windows drops";
    case EntryNameFault::device:
      return "name is a reserved device name on Windows";
  }
  return "";
}

std::string windows_name_problem(std::u16string_view component) {
  if (component.empty()) return "empty name";
  return name_fault_text(entry_name_component_verdict(component.data(), component.size()),
                         component);
}

}  // namespace pack
