#pragma once
// What a failure window tells the user to do, below the launcher's exact message: one
// sentence for each kind of failure the user can do something about
// (support/failure_catalogue.h).
#include <cstddef>

#include "support/failure.h"
#include "support/launch_state.h"

// Appends a blank line and the failure's sentence to text (capacity units, what fits of
// it); nothing for a failure without one.
void append_advice(const Failure& failure, const LaunchState& state, wchar_t* text,
                   size_t capacity);

// description with each "%1" replaced by value, appended to text; other inserts stay.
void append_filled(wchar_t* text, const wchar_t* description, const wchar_t* value,
                   size_t capacity);
