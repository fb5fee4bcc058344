// A console program that uses shell32 (CommandLineToArgvW, as the launcher does) and
// exits: its start less the trivial child's is what loading shell32 costs.
#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

int wmain() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return 1;
  LocalFree(arguments);
  return 0;
}
