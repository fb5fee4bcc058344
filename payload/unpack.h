#pragma once

// Writes every archive entry below target_directory unless the file there already
// has the entry's CRC-32; records the first entry as child_executable_path.
void unpack_payload();
