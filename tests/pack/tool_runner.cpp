#include "tests/pack/tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/pack/test_files.h"

extern char** environ;

namespace pack_test {
namespace fs = std::filesystem;

fs::path tool_path() { return fs::path(KOVRAN_TEST_BIN_DIR) / "kovran-onefile"; }

ToolResult run_program(const std::vector<std::string>& argv) {
  TempDir capture;
  fs::path out_path = capture / "out", err_path = capture / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0600);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  auto slurp = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  ToolResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  return result;
}

ToolResult run_pack_tool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {tool_path().string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_program(argv);
}

void expect_refused_in_one_line(const ToolResult& result, const std::string& expected) {
  EXPECT_EQ(1, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find(expected)) << result.err;
  EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
}

}  // namespace pack_test
