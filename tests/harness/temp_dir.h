#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// A fresh folder below the temporary directory, removed with its content at scope end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring file(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

void write_file(const std::wstring& path, const std::string& bytes);
std::string read_file(const std::wstring& path);
bool file_exists(const std::wstring& path);
// 0 when the file cannot be read.
uint64_t write_time(const std::wstring& path);
uint64_t file_size(const std::wstring& path);
bool set_write_time(const std::wstring& path, uint64_t time);
void remove_tree(const std::wstring& path);

// Calls visit for every file below folder, with its name relative to folder ("\\a\\b.txt")
// and the listing's data, which carries the size without a call per file.
void for_each_file(const std::wstring& folder,
                   const std::function<void(const std::wstring&, const WIN32_FIND_DATAW&)>& visit);
