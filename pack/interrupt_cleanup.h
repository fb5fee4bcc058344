#pragma once

namespace pack {

// Files to unlink, and then a folder to remove, when SIGINT, SIGTERM or SIGHUP ends the
// process; the handler uses only async-signal-safe calls on fixed buffers.
void cleanup_on_interrupt_folder(const char* folder);
void cleanup_on_interrupt_file(const char* file);
void cleanup_on_interrupt_clear();

}  // namespace pack
