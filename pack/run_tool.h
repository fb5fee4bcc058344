#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace pack {

// Runs argv[0] (looked up in PATH) in folder cwd and waits for it. On failure throws
// PackError: what failed, then the tool's own output on the lines after.
void run_tool(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
              const std::string& what);

}  // namespace pack
