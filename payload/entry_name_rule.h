#pragma once
// The one rule for archive entry names, shared by the launcher, which refuses an archive
// holding a name against it, and the pack tool, which never writes such a name and refuses
// to list or extract one. A name passes when it stays a plain file or folder below the
// target folder on Windows: relative, "\" between components, and no component that
// Windows would read as something else (a device, "." or "..", a stream) or store under
// another name (trailing dots and spaces are dropped). Plain code over the caller's units,
// for the launcher's fixed buffers and the tool's strings alike.
#include <cstddef>

enum class EntryNameFault {
  none,
  empty,
  too_long,
  leading_separator,
  empty_component,
  dot_component,
  control_unit,
  forbidden_unit,
  trailing_dot_or_space,
  device,
};

// What went wrong, and at which unit of the name (the offending unit, or the start of the
// offending component).
struct EntryNameVerdict {
  EntryNameFault fault;
  size_t at;
};

// The launcher holds a name in 1024 units with its terminator.
constexpr size_t entry_name_max_units = 1023;

namespace entry_name_rule {

template <typename Unit>
constexpr Unit ascii_upper(Unit c) {
  return c >= Unit('a') && c <= Unit('z') ? static_cast<Unit>(c - (Unit('a') - Unit('A'))) : c;
}

template <typename Unit>
constexpr bool stem_is(const Unit* stem, size_t length, const char* device) {
  size_t i = 0;
  for (; i < length && device[i] != 0; ++i) {
    if (ascii_upper(stem[i]) != static_cast<Unit>(device[i])) return false;
  }
  return i == length && device[i] == 0;
}

// Windows takes COM and LPT with a digit, or a superscript one to three, as ports.
template <typename Unit>
constexpr bool is_port_suffix(Unit c) {
  return (c >= Unit('0') && c <= Unit('9')) || c == Unit(0x00B9) || c == Unit(0x00B2) ||
         c == Unit(0x00B3);
}

// A device keeps its meaning with any extension, and with spaces before it.
template <typename Unit>
constexpr bool is_device(const Unit* component, size_t length) {
  size_t stem = 0;
  while (stem < length && component[stem] != Unit('.')) ++stem;
  while (stem > 0 && component[stem - 1] == Unit(' ')) --stem;
  if (stem < 3 || stem > 7) return false;
  const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : devices) {
    if (stem_is(component, stem, device)) return true;
  }
  return stem == 4 && is_port_suffix(component[3]) &&
         (stem_is(component, 3, "COM") || stem_is(component, 3, "LPT"));
}

// Control characters and < > : " / \ | ? *, as bits of the units below 128.
constexpr unsigned long long refused_below_64 = 0xFFFFFFFFull | 1ull << '<' | 1ull << '>' |
                                                1ull << ':' | 1ull << '"' | 1ull << '/' |
                                                1ull << '?' | 1ull << '*';
constexpr unsigned long long refused_below_128 = 1ull << ('\\' - 64) | 1ull << ('|' - 64);

template <typename Unit>
constexpr bool is_refused_unit(Unit c) {
  if (c < Unit(64)) return (refused_below_64 >> c & 1) != 0;
  return c < Unit(128) && (refused_below_128 >> (c - 64) & 1) != 0;
}

}  // namespace entry_name_rule

// One component, on its own ("\" in it is a fault).
template <typename Unit>
constexpr EntryNameVerdict entry_name_component_verdict(const Unit* component, size_t length) {
  using namespace entry_name_rule;
  if (length == 0) return {EntryNameFault::empty_component, 0};
  if ((length == 1 || length == 2) && component[0] == Unit('.') &&
      component[length - 1] == Unit('.')) {
    return {EntryNameFault::dot_component, 0};
  }
  for (size_t i = 0; i < length; ++i) {
    if (!is_refused_unit(component[i])) continue;
    return {
        component[i] < Unit(0x20) ? EntryNameFault::control_unit : EntryNameFault::forbidden_unit,
        i};
  }
  if (component[length - 1] == Unit('.') || component[length - 1] == Unit(' ')) {
    return {EntryNameFault::trailing_dot_or_space, length - 1};
  }
  if (is_device(component, length)) return {EntryNameFault::device, 0};
  return {EntryNameFault::none, 0};
}

// A whole entry name of length units.
template <typename Unit>
constexpr EntryNameVerdict entry_name_verdict(const Unit* name, size_t length) {
  if (length == 0) return {EntryNameFault::empty, 0};
  if (length > entry_name_max_units) return {EntryNameFault::too_long, entry_name_max_units};
  if (name[0] == Unit('\\')) return {EntryNameFault::leading_separator, 0};
  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    if (i < length && name[i] != Unit('\\')) continue;
    EntryNameVerdict verdict = entry_name_component_verdict(name + start, i - start);
    if (verdict.fault != EntryNameFault::none) return {verdict.fault, start + verdict.at};
    start = i + 1;
  }
  return {EntryNameFault::none, 0};
}
