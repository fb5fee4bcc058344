#include <io.h>

#include <cstdio>

#include "pack/platform/terminal.h"

namespace pack {

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace pack
