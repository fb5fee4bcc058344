#include "greeting.h"

extern "C" const wchar_t* greeting_text() { return L"hello from greeting.dll"; }
