#pragma once
#include <cstddef>

// The product name in the launcher's version resource, which the pack tool always writes;
// "the application" for an image without one.
void read_product_name(wchar_t* name, size_t capacity);
