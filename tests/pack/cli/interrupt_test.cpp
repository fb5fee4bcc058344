// An interrupted pack leaves the previous output as it was and no temporary file; a
// temporary file left by a killed run goes away with the next pack of that output. An
// interrupted extract leaves nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

extern char** environ;

namespace pack_test {
namespace {

namespace fs = std::filesystem;

std::string slow_to_compress(size_t size) {
  std::string text;
  uint32_t state = 99;
  while (text.size() < size) {
    state = state * 1664525u + 1013904223u;
    text += static_cast<char>('a' + (state >> 24) % 26);
  }
  return text;
}

TEST(Interrupt, OldOutputStaysAndNoTemporaryFileIsLeft) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  write_file(dir / "app/data.bin", slow_to_compress(64u << 20));
  write_file(dir / "out/app.exe", "previous build");
  fs::path temp = dir / "out/.app.exe.kovran-tmp";

  std::vector<std::string> args = {
      tool_path().string(),           "pack",      "-q", (dir / "app").string(), "-o",
      (dir / "out/app.exe").string(), "--threads", "1"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(0, posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ));
  // Interrupt once compressed bytes reach the file, after the stub and resources.
  std::error_code error;
  for (int i = 0; i < 600 && fs::file_size(temp, error) <= 256 * 1024; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the pack ended before it was interrupted";
  EXPECT_EQ(SIGTERM, WTERMSIG(status));
  EXPECT_EQ((std::vector<std::string>{"app.exe"}), list_files(dir / "out"));
  std::vector<unsigned char> kept = read_file(dir / "out/app.exe");
  EXPECT_EQ("previous build", std::string(kept.begin(), kept.end()));

  // What a SIGKILL would leave behind.
  write_file(temp, "half a launcher");
  fs::remove(dir / "app/data.bin");
  ToolResult packed =
      run_pack_tool({"pack", "-q", (dir / "app").string(), "-o", (dir / "out/app.exe").string()});
  ASSERT_EQ(0, packed.exit_code) << packed.err;
  EXPECT_EQ((std::vector<std::string>{"app.exe"}), list_files(dir / "out"));
}

// Interrupted while its staging folder fills, extract removes it and still ends by the
// signal.
TEST(Interrupt, ExtractLeavesNothing) {
  TempDir dir;
  write_file(dir / "app/app.exe", minimal_program());
  write_file(dir / "app/zeros.bin", std::string(256u << 20, '\0'));
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", (dir / "app").string(), "-o",
                              (dir / "launcher.exe").string(), "--level", "1"})
                   .exit_code);
  fs::remove_all(dir / "app");

  std::vector<std::string> args = {tool_path().string(), "extract", (dir / "launcher.exe").string(),
                                   (dir / "out").string()};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(0, posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ));
  fs::path filling = dir / ".out.kovran-extract/zeros.bin";
  std::error_code error;
  for (int i = 0; i < 10000 && !(fs::exists(filling, error) && fs::file_size(filling, error) > 0);
       ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the extract ended before it was interrupted";
  EXPECT_EQ(SIGINT, WTERMSIG(status));
  EXPECT_EQ((std::vector<std::string>{"launcher.exe"}), list_files(dir.path()));
}

}  // namespace
}  // namespace pack_test
