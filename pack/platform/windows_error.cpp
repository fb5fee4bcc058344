#include "pack/platform/windows_error.h"

#include <windows.h>

namespace pack {

std::string last_error_text() {
  DWORD code = GetLastError();
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

std::wstring windows_path(const std::filesystem::path& path) {
  std::wstring full = std::filesystem::absolute(path).wstring();
  for (wchar_t& c : full) {
    if (c == L'/') c = L'\\';
  }
  if (full.rfind(L"\\\\", 0) == 0) return full;  // already \\?\ or a share
  return L"\\\\?\\" + full;
}

}  // namespace pack
