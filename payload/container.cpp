#include "payload/container.h"

#include "payload/stream.h"

namespace {

const unsigned char magic[3] = {'Q', 'V', 'J'};

}  // namespace

bool check_payload_header(PayloadStream& stream) {
  const unsigned char* header = stream.cursor;
  // A block shorter than its magic is rejected before a byte past its end is read.
  bool matches = stream.length >= sizeof magic && header[0] == magic[0] && header[1] == magic[1] &&
                 header[2] == magic[2];
  if (matches) stream.cursor += sizeof magic;
  return matches;
}
