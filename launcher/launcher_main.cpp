#include "launcher/launcher_main.h"

#include <cstdlib>

#include "launcher/errors.h"

int WINAPI launcher_main(HINSTANCE, HINSTANCE, LPWSTR, int) {
  silence_abnormal_end();
  const wchar_t* argv0 = __wargv[0];
  prepare_environment();

  publish_launcher_identity(argv0);
  return 0;
}
