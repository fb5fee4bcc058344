#pragma once
#include <filesystem>
#include <string>

namespace pack {

// The system's text for GetLastError(), on one line.
std::string last_error_text();

// A wide Windows path for the file APIs, made long-path safe.
std::wstring windows_path(const std::filesystem::path& path);

}  // namespace pack
