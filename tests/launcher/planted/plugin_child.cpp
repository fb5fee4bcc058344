// A packed program that loads a DLL of its own folder by name at run time, as programs
// load their plugins: whatever DLL search the launcher sets must not reach it.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain() {
  HMODULE plugin = LoadLibraryW(L"plugin.dll");
  if (plugin == nullptr) {
    std::fprintf(stderr, "plugin.dll not loaded: error %lu\n", GetLastError());
    return 3;
  }
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(plugin, path, MAX_PATH);
  std::wprintf(L"plugin loaded from %ls\n", path);
  return 0;
}
