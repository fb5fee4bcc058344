#pragma once
// Expansion into a buffer with guard units behind its capacity, which must stay as
// they were: nothing may be written at or past index capacity.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "paths/spec_expansion.h"

struct Expansion {
  bool ok;
  std::wstring text;
};

inline Expansion expand(const std::wstring& spec, size_t capacity = 4096) {
  constexpr size_t guard = 16;
  std::vector<wchar_t> buffer(capacity + guard, L'#');
  bool ok = expand_target_spec(buffer.data(), spec.c_str(), capacity);
  for (size_t i = capacity; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], L'#') << "unit " << i;
  size_t length = wcsnlen(buffer.data(), capacity);
  EXPECT_LT(length, capacity) << "no terminator";
  return {ok, std::wstring(buffer.data(), length)};
}

inline std::wstring without_trailing_backslashes(std::wstring text) {
  while (!text.empty() && text.back() == L'\\') text.pop_back();
  return text;
}

inline std::wstring module_name() {
  wchar_t path[4096];
  return std::wstring(path, GetModuleFileNameW(nullptr, path, 4096));
}

inline std::wstring temp_path() {
  wchar_t path[4096];
  return std::wstring(path, GetTempPathW(4096, path));
}

inline void set_variable(const wchar_t* name, const wchar_t* value) {
  SetEnvironmentVariableW(name, value);
}
