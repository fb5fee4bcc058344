#include "support/launch_state.h"

wchar_t target_directory[target_directory_capacity];
wchar_t child_executable_path[file_path_capacity];
