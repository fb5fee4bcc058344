#pragma once
#include "pack/image/launcher_image.h"

namespace pack {

// The launcher stub, built into this program when it was built.
StubBytes embedded_stub();

}  // namespace pack
