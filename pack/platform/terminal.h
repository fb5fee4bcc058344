#pragma once

namespace pack {

// Whether standard error is a terminal, where a progress line can be redrawn in place.
bool stderr_is_terminal();

}  // namespace pack
