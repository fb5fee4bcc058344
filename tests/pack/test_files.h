#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pack_test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Creates the file's folders as needed.
void write_file(const std::filesystem::path& path, const std::string& bytes);
void write_file(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> read_file(const std::filesystem::path& path);

// Plain bit-by-bit CRC-32, for checking what the tool stored.
uint32_t reference_crc32(const void* data, size_t size);

// The smallest file that passes for an x86-64 Windows program: MZ header, PE signature,
// machine, the executable flag and an optional header that names its subsystem (2 GUI,
// 3 console). Nothing can run it.
std::string minimal_program(uint16_t subsystem = 2);

// The files of a folder, names relative to it.
std::vector<std::string> list_files(const std::filesystem::path& folder);

}  // namespace pack_test
