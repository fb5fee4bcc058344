#include "pack/platform/windows_error.h"

#include <windows.h>

#include "pack/platform/full_path.h"
#include "pack/platform/windows_path_form.h"

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
  std::filesystem::path full = full_path(path);
  std::wstring text = full.wstring();
  switch (windows_path_form(full.u16string()).kind) {
    case WindowsPathForm::drive:
      return L"\\\\?\\" + text;
    case WindowsPathForm::share:
      return L"\\\\?\\UNC" + text.substr(1);
    default:
      return text;  // already verbatim
  }
}

}  // namespace pack
