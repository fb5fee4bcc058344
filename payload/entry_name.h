#pragma once

// Whether an archive entry name stays a plain file below the target directory:
// relative, "\" between components, none of them empty, made of dots and spaces
// only, holding "/", ":" or a control character, or naming a device.
bool is_safe_entry_name(const wchar_t* name);
