#pragma once
// Calls that systems newer than the launcher's subsystem version brought. They are looked up
// when needed rather than imported, or the loader would refuse the launcher on the older ones.
#include <windows.h>

using final_path_function = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using set_information_function = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// GetFinalPathNameByHandleW and SetFileInformationByHandle (Vista on), or nullptr.
final_path_function find_final_path_function();
set_information_function find_set_information_function();
