#include "payload/container.h"

#include "launcher/errors.h"
#include "payload/stream.h"

namespace {

const unsigned char magic[3] = {'Q', 'V', 'J'};

}  // namespace

void check_payload_header() {
  const unsigned char* header = payload_stream.cursor;
  // A block shorter than its magic is rejected before a byte past its end is read.
  bool matches = payload_stream.length >= sizeof magic && header[0] == magic[0] &&
                 header[1] == magic[1] && header[2] == magic[2];
  if (!matches) fatal_error("Error, couldn't find attached data header.");
  payload_stream.cursor += sizeof magic;
}
