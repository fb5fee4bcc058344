#include "tests/pack/test_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pack_test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "kovran-pack-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests take read permission away from some files and folders.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

void write_file(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void write_file(const fs::path& path, const std::vector<unsigned char>& bytes) {
  write_file(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
}

uint32_t reference_crc32(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

std::vector<std::string> list_files(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    names.push_back(fs::relative(entry.path(), folder).string());
  }
  return names;
}

std::string minimal_program(uint16_t subsystem) {
  std::string bytes(64 + 24 + 240, '\0');
  bytes[0] = 'M', bytes[1] = 'Z';
  bytes[0x3C] = 64;
  bytes.replace(64, 4, std::string("PE\0\0", 4));
  bytes[68] = '\x64', bytes[69] = '\x86';  // x86-64
  bytes[84] = '\xF0';                      // an optional header of the usual size
  bytes[86] = 0x22;                        // executable, large-address aware
  bytes[88] = 0x0B, bytes[89] = 0x02;      // PE32+
  bytes[88 + 68] = static_cast<char>(subsystem & 0xFF);
  bytes[88 + 69] = static_cast<char>(subsystem >> 8);
  return bytes;
}

}  // namespace pack_test
