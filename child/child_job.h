#pragma once
#include <windows.h>

// A job object that ends its processes when its last handle closes; null when the
// system refuses one.
HANDLE create_child_job();
