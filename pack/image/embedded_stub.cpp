#include "pack/image/embedded_stub.h"

// Defined by the generated assembly file that includes the stub's bytes.
extern "C" const unsigned char kovran_embedded_stub[];
extern "C" const unsigned char kovran_embedded_stub_end[];

namespace pack {

StubBytes embedded_stub() {
  return {kovran_embedded_stub,
          static_cast<size_t>(kovran_embedded_stub_end - kovran_embedded_stub)};
}

}  // namespace pack
