#include <windows.h>

#include "launcher/launcher_main.h"

// The C runtime's wide GUI start-up code calls this once and passes the result to exit().
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_tail, int show) {
  return launcher_main(instance, previous, command_tail, show);
}
