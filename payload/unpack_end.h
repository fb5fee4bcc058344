#pragma once
#include "payload/unpack_failure.h"

struct Unpack;

// The one way an unpack ends. Waits for the pooled entries, whose failures come first in
// archive order; removes the files this start created behind a failure; closes the stream;
// takes back every stamp this start gave when the archive turned out damaged; lets the next
// launcher in. Then returns when nothing failed, and otherwise reports the failure and ends
// the process: exit status 2, or the abnormal status for a path too long for its buffer.
void end_unpack(Unpack& unpack, UnpackFailure failure);
