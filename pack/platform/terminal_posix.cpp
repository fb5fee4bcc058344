#include <unistd.h>

#include "pack/platform/terminal.h"

namespace pack {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace pack
