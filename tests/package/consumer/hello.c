// Prints what it got from its DLL and its data folder, and exits with the DLL's code.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "greet.h"

static void show(const char* folder, const char* relative) {
  char path[MAX_PATH * 2];
  char line[256] = "";
  snprintf(path, sizeof path, "%s\\%s", folder, relative);
  FILE* file = fopen(path, "rb");
  if (file == NULL) {
    printf("%s: missing\n", relative);
    return;
  }
  if (fgets(line, sizeof line, file) == NULL) line[0] = 0;
  fclose(file);
  line[strcspn(line, "\r\n")] = 0;
  printf("%s: %s\n", relative, line);
}

int main(void) {
  char folder[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, folder, MAX_PATH);
  while (length > 0 && folder[length - 1] != '\\') --length;
  folder[length > 0 ? length - 1 : 0] = 0;
  printf("hello: %s\n", greet_text());
  show(folder, "data\\message.txt");
  show(folder, "data\\nested\\level.txt");
  fflush(stdout);
  return greet_exit_code();
}
