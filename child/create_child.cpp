#include "child/create_child.h"

BOOL create_child_process(const wchar_t* program, wchar_t* command_line, STARTUPINFOW* startup,
                          PROCESS_INFORMATION* process) {
  return CreateProcessW(program, command_line, nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, startup,
                        process);
}
