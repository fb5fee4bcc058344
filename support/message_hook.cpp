#include "support/message_hook.h"

void (*before_launcher_message)(const char*, const wchar_t*, const char*) = nullptr;

void announce_launcher_message(const char* before, const wchar_t* text, const char* after) {
  if (before_launcher_message != nullptr) before_launcher_message(before, text, after);
}
