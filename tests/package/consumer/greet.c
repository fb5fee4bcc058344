#define GREET_BUILD
#include "greet.h"

const char* greet_text(void) { return "greetings from greet.dll"; }

int greet_exit_code(void) { return 42; }
