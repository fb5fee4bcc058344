#pragma once
#include <filesystem>
#include <string>

namespace pack {

// The system's text for GetLastError(), on one line.
std::string last_error_text();

// A wide Windows path for the file APIs: full, and verbatim ("\\?\") so that it may be long.
std::wstring windows_path(const std::filesystem::path& path);

}  // namespace pack
