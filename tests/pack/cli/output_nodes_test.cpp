// The tool writes only through files: a FIFO, a device node, a socket, or a link to one of
// them, given as the output, is refused in one line that says what it is, and stays as it
// was; nothing is opened for writing on it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "pack/pack_error.h"
#include "pack/platform/output_file.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

// What identifies a node: its type and inode, a device's number, a link's target.
struct NodeState {
  bool present = false;
  mode_t mode = 0;
  ino_t inode = 0;
  dev_t device = 0;
  std::string target;
  bool operator==(const NodeState& other) const {
    return present == other.present && mode == other.mode && inode == other.inode &&
           device == other.device && target == other.target;
  }
};

NodeState state_of(const fs::path& path) {
  struct stat own;
  NodeState state;
  if (lstat(path.c_str(), &own) != 0) return state;
  state = {true, own.st_mode, own.st_ino, own.st_rdev, ""};
  if (S_ISLNK(own.st_mode)) state.target = fs::read_symlink(path).string();
  return state;
}

void make_socket(const fs::path& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
  close(fd);
}

// A device node of its own, in the scratch folder: the same device as /dev/full.
bool make_device(const fs::path& path) {
  return mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0;
}

class OutputNodes : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_ / "app/main.exe", minimal_program());
    ASSERT_EQ(0, mkfifo((dir_ / "fifo").c_str(), 0600));
    make_socket(dir_ / "socket");
    has_device_ = make_device(dir_ / "device");
    for (const char* name : {"fifo", "device", "socket"}) {
      fs::create_symlink(name, dir_ / (std::string("link-to-") + name));
    }
  }
  fs::path node(const std::string& name) const { return dir_ / name; }
  std::string app() const { return (dir_ / "app").string(); }
  TempDir dir_;
  bool has_device_ = false;
};

TEST_F(OutputNodes, PackRefusesEveryNodeThatIsNotAFileAndLeavesItAsItWas) {
  struct Case {
    const char* name;
    const char* what;
  } cases[] = {
      {"fifo", "a FIFO"},
      {"device", "a character device"},
      {"socket", "a socket"},
      {"link-to-fifo", "a symbolic link to a FIFO"},
      {"link-to-device", "a symbolic link to a character device"},
      {"link-to-socket", "a symbolic link to a socket"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name).find("device") != std::string::npos && !has_device_) continue;
    NodeState before = state_of(node(c.name));
    ToolResult result = run_pack_tool({"pack", "-q", app(), "-o", node(c.name).string()});
    expect_refused_in_one_line(result,
                               "'" + node(c.name).string() + "' is " + c.what + ", not a file");
    EXPECT_EQ(before, state_of(node(c.name)));
    EXPECT_FALSE(
        fs::exists(fs::symlink_status(dir_ / ("." + std::string(c.name) + ".kovran-tmp"))));
  }
  if (!has_device_) GTEST_SKIP() << "mknod refused: the device rows need root";
}

TEST_F(OutputNodes, ExtractRefusesAFifoAsItsFolder) {
  fs::path launcher = dir_ / "app.exe";
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", app(), "-o", launcher.string()}).exit_code);
  std::vector<std::string> names = list_files(dir_.path());
  for (const char* name : {"fifo", "link-to-fifo", "socket"}) {
    SCOPED_TRACE(name);
    NodeState before = state_of(node(name));
    ToolResult result = run_pack_tool({"extract", launcher.string(), node(name).string()});
    std::string what = name == std::string("socket") ? "a socket" : "a FIFO";
    if (name == std::string("link-to-fifo")) what = "a symbolic link to a FIFO";
    expect_refused_in_one_line(result,
                               "'" + node(name).string() + "' is " + what + ", not a folder");
    EXPECT_EQ(before, state_of(node(name)));
  }
  EXPECT_EQ(names, list_files(dir_.path())) << "a staging folder left behind";
}

// A temporary file's name that something else holds is not removed to make room.
TEST_F(OutputNodes, ANodeInTheTemporaryFilesPlaceStays) {
  ASSERT_EQ(0, mkfifo((dir_ / ".out.exe.kovran-tmp").c_str(), 0600));
  NodeState before = state_of(dir_ / ".out.exe.kovran-tmp");
  ToolResult result = run_pack_tool({"pack", "-q", app(), "-o", (dir_ / "out.exe").string()});
  expect_refused_in_one_line(result, ".out.exe.kovran-tmp' is a FIFO, not a file");
  EXPECT_EQ(before, state_of(dir_ / ".out.exe.kovran-tmp"));
  EXPECT_FALSE(fs::exists(dir_ / "out.exe"));
}

// A node put in the output's place while the tool works is not replaced by the rename.
TEST_F(OutputNodes, TheRenameDoesNotReplaceANodeThatAppearedMeanwhile) {
  fs::path output = dir_ / "late.exe";
  pack::OutputFile out(output);
  out.write("MZ", 2);
  ASSERT_EQ(0, mkfifo(output.c_str(), 0600));
  NodeState before = state_of(output);
  try {
    out.commit();
    ADD_FAILURE() << "committed over a FIFO";
  } catch (const pack::PackError& error) {
    EXPECT_EQ("'" + output.string() + "' is a FIFO, not a file", std::string(error.what()));
  }
  EXPECT_EQ(before, state_of(output));
  EXPECT_FALSE(fs::exists(pack::temporary_output_path(output)));
}

}  // namespace
}  // namespace pack_test
