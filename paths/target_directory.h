#pragma once
#include "support/failure.h"
#include "support/launch_state.h"

// The start's target directory: state.target_template expanded into state.target_directory
// and made absolute; notes whether {CACHE_DIR} came from KOVRAN_ONEFILE_CACHE_DIR.
Failure resolve_target_directory(LaunchState& state);
