#pragma once
#include <cstddef>

#include "support/failure.h"

// The system takes 32767 units with the terminator and cuts a longer line short.
constexpr size_t child_command_line_capacity = 32767;

// The child's command line into line (child_command_line_capacity units): the launcher's
// path, then the process command line after its first argument as it is. A failure naming
// the length when the whole does not fit: a line cut short would be another command.
Failure build_child_command_line(wchar_t* line, const wchar_t* launcher_path);
