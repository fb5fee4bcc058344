#pragma once
// Calls that systems newer than the launcher's subsystem version brought. They are looked up
// when needed rather than imported, or the loader would refuse the launcher on the older ones.
#include <windows.h>

using final_path_function = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using set_information_function = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
using default_dll_directories_function = BOOL(WINAPI*)(DWORD);

// GetFinalPathNameByHandleW and SetFileInformationByHandle (Vista on), or nullptr.
final_path_function find_final_path_function();
set_information_function find_set_information_function();
// SetDefaultDllDirectories (Windows 8 on, and 7 and Vista with KB2533623), or nullptr.
default_dll_directories_function find_default_dll_directories_function();
