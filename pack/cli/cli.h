#pragma once

namespace pack {

// The whole command line: `kovran-onefile pack ...`. Returns the process exit status.
int run_command_line(int argc, char** argv);

}  // namespace pack
