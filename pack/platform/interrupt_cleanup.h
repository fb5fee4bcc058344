#pragma once

namespace pack {

// A file to unlink when SIGINT, SIGTERM or SIGHUP (on Windows, Ctrl-C or Ctrl-Break)
// ends the process; the handler uses only async-signal-safe calls on a fixed buffer.
void cleanup_on_interrupt(const char* file);
void cleanup_on_interrupt_clear();

// For work that cleans up after itself: from now on an interrupt only marks the
// process as interrupted, for the work to notice, stop and undo what it did; a second
// one ends the process at once.
void defer_interrupts();
bool interrupted();
// Ends the process as the deferred interrupt would have, if there was one.
void end_if_interrupted();

}  // namespace pack
