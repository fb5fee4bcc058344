#pragma once

// Checks the magic "QVJ" at the payload cursor and moves past it; ends the process
// with the header message when any of the three bytes differs.
void check_payload_header();
