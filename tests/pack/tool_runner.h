#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace pack_test {

struct ToolResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// The built kovran-onefile.
std::filesystem::path tool_path();

// Runs kovran-onefile with args; stdin empty, stdout and stderr kept apart.
ToolResult run_pack_tool(const std::vector<std::string>& args);

// Runs any program the same way; used for objdump.
ToolResult run_program(const std::vector<std::string>& argv);

// Expects exit code 1 and exactly one line on stderr that holds expected.
void expect_refused_in_one_line(const ToolResult& result, const std::string& expected);

}  // namespace pack_test
