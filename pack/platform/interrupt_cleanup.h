#pragma once

namespace pack {

// A file to unlink when SIGINT, SIGTERM or SIGHUP (on Windows, Ctrl-C or Ctrl-Break)
// ends the process; the handler uses only async-signal-safe calls on a fixed buffer.
void cleanup_on_interrupt(const char* file);
void cleanup_on_interrupt_clear();

}  // namespace pack
