// The sample application: shows what a packed program receives from its launcher.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "greeting.h"

namespace {

void show_variable(const wchar_t* name) {
  wchar_t value[4096];
  DWORD length = GetEnvironmentVariableW(name, value, 4096);
  wprintf(L"  %ls=%ls\n", name, length > 0 && length < 4096 ? value : L"(unset)");
}

// Reads a data file that ships in a folder next to this program.
void show_data_file(const wchar_t* directory, const wchar_t* relative) {
  wchar_t path[4096];
  swprintf(path, 4096, L"%ls\\%ls", directory, relative);
  FILE* file = _wfopen(path, L"rb");
  if (file == nullptr) {
    wprintf(L"  %ls: missing\n", relative);
    return;
  }
  char line[256] = "";
  if (fgets(line, sizeof line, file) == nullptr) line[0] = 0;
  fclose(file);
  line[strcspn(line, "\r\n")] = 0;
  wprintf(L"  %ls: %hs\n", relative, line);
}

}  // namespace

int wmain() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  wprintf(L"sample-app: %ls\n", greeting_text());
  wprintf(L"arguments (%d):\n", count);
  for (int i = 0; i < count; ++i) wprintf(L"  [%d] %ls\n", i, arguments[i]);
  LocalFree(arguments);

  wprintf(L"hand-off variables:\n");
  for (const wchar_t* name :
       {L"KOVRAN_ONEFILE_PARENT", L"KOVRAN_ONEFILE_DIRECTORY", L"KOVRAN_ORIGINAL_ARGV0",
        L"KOVRAN_ONEFILE_START", L"KOVRAN_ONEFILE_TIME_US", L"KOVRAN_ONEFILE_RANDOM"}) {
    show_variable(name);
  }

  wchar_t directory[4096];
  GetCurrentDirectoryW(4096, directory);
  wprintf(L"current directory: %ls\n", directory);
  DWORD length = GetModuleFileNameW(nullptr, directory, 4096);
  while (length > 0 && directory[length - 1] != L'\\') --length;
  directory[length > 0 ? length - 1 : 0] = 0;
  wprintf(L"running from: %ls\n", directory);
  wprintf(L"data files:\n");
  show_data_file(directory, L"data\\messages\\hello.txt");
  show_data_file(directory, L"data\\config\\levels\\default.ini");
  return 0;
}
