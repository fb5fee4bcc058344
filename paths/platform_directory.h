#pragma once
// The one system call of directory creation, apart so that tests can link a fake.

// CreateDirectoryW with default security; on false the reason is in GetLastError.
bool create_directory_w(const wchar_t* path);
