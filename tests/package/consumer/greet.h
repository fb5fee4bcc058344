#pragma once
#ifdef GREET_BUILD
#define GREET_API __declspec(dllexport)
#else
#define GREET_API __declspec(dllimport)
#endif

GREET_API const char* greet_text(void);
GREET_API int greet_exit_code(void);
