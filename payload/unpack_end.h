#pragma once
#include "payload/unpack_failure.h"
#include "support/failure.h"

struct Unpack;

// The one way an unpack ends. Waits for the pooled entries, whose failures come first in
// archive order; removes the files this start created behind a failure; closes the stream;
// takes back every stamp this start gave when the archive turned out damaged; lets the next
// launcher in. Then hands the failure on to be reported (support/failure.h): no_failure; the
// decode, header or memory message; the open message with the system's reason; the write
// message with it; a path too long (status abnormal_status); or a cancel, which says nothing
// and ends with interrupted_status.
Failure end_unpack(Unpack& unpack, UnpackFailure failure);
