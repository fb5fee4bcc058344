#pragma once
struct PayloadStream;

// Checks the magic "QVJ" at the payload cursor and moves past it; false when the block is
// shorter than the magic or any of its three bytes differs.
bool check_payload_header(PayloadStream& stream);
