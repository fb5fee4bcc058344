// Windows hands programs their arguments in UTF-16; the command line works in UTF-8.
#include <windows.h>

#include <string>
#include <vector>

#include "pack/cli/cli.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
    if (bytes > 0)
      WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), bytes, nullptr, nullptr);
    arg.resize(arg.size() - 1);
    args.push_back(std::move(arg));
  }
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  // Output goes out as UTF-8 too, as the messages are.
  SetConsoleOutputCP(CP_UTF8);
  return pack::run_command_line(argc, pointers.data());
}
