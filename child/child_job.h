#pragma once
#include <windows.h>

// A job object that ends its processes when its last handle closes; null when the
// system refuses one.
HANDLE create_child_job();
// From now on, what the job's processes start leaves the job without asking.
bool let_descendants_leave(HANDLE job);
