#pragma once
// The system calls of folders that the walk up of directory creation makes, apart so that
// tests can link fakes.

// CreateDirectoryW with default security; on false the reason is in GetLastError.
bool create_directory_w(const wchar_t* path);

// The path of a system folder (a CSIDL) into path (MAX_PATH units or more); false when the
// system has none for the user.
bool system_folder_path(int folder, wchar_t* path);
