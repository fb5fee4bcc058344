#pragma once

// Writes every archive entry below target_directory unless the file there is already
// current (its CRC-32, or under the stamp rule its size and stamp, are the entry's);
// records the first entry as child_executable_path.
void unpack_payload();
