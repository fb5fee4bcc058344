#pragma once
#include "support/failure.h"

// Makes directory (target_directory_capacity units) absolute in place; a failure, directory
// unchanged, when the system cannot or the full path does not fit.
Failure make_target_absolute(wchar_t* directory);
