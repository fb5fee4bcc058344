#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

namespace pack {

// The path the system reads path as, made full from the current folder. On Windows "."
// and ".." are resolved as the system resolves them, shares and "\\?\" paths keep their
// form, and a path in the device namespace ("\\.\pipe\x") throws PackError.
std::filesystem::path full_path(const std::filesystem::path& path);

// Throws PackError for a path in Windows' device namespace ("\\.\pipe\x"), on Windows.
void refuse_device_path(const std::filesystem::path& path);

// The units of a full path's root ("/", "C:\", "\\server\share\"): nothing above it is
// made or removed.
size_t root_length(const std::filesystem::path& full);

// Why the tool makes no file or folder at this path as the user wrote it, or "". On
// Windows: the device namespace, and names that Windows drops or cannot hold.
std::string output_path_problem(const std::filesystem::path& path);

// The folder with every link on the way resolved, for checks that a path stays inside it.
std::filesystem::path resolved_folder(const std::filesystem::path& folder, std::error_code& error);

}  // namespace pack
