#pragma once
#include <filesystem>
#include <string>

namespace pack {

// What lies at a path the tool is to write, looked at without opening it for writing. A
// symbolic link counts as what it leads to; one that leads nowhere, as nothing.
struct OutputNode {
  enum Kind { missing, file, folder, other } kind;
  // For a folder or another node, what the user is told it is: "a FIFO", "a character
  // device", "a symbolic link to a socket", ...
  std::string description;
};

OutputNode output_node(const std::filesystem::path& path);

}  // namespace pack
