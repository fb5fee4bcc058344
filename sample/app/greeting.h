#pragma once

#ifdef GREETING_BUILD
#define GREETING_API __declspec(dllexport)
#else
#define GREETING_API __declspec(dllimport)
#endif

extern "C" GREETING_API const wchar_t* greeting_text();
