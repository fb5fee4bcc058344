#include "child/run_child.h"

#include "support/launch_state.h"

// Suspended until what it starts may leave its job.
BOOL create_child_process(STARTUPINFOW* startup, PROCESS_INFORMATION* process) {
  return CreateProcessW(child_executable_path, child_command_line, nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, startup,
                        process);
}
