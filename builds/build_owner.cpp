#include "builds/build_owner.h"

#include <cwchar>

namespace {

bool is_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The length of text up to and including the count-th backslash, 0 when it has fewer.
size_t through_backslash(const wchar_t* text, int count) {
  for (size_t i = 0; text[i] != 0; ++i) {
    if (text[i] == L'\\' && --count == 0) return i + 1;
  }
  return 0;
}

// A launcher's path, after the byte-order mark of markers that have one.
constexpr size_t marker_capacity = launcher_path_capacity + 1;

bool read_named(HANDLE marker, wchar_t (&named)[marker_capacity]) {
  DWORD got = 0;
  bool read = ReadFile(marker, named, sizeof named - sizeof(wchar_t), &got, nullptr) != FALSE;
  if (!read || got == 0 || got % sizeof(wchar_t) != 0) return false;
  size_t units = got / sizeof(wchar_t);
  named[units] = 0;
  // Markers written before the byte-order mark start with the path itself.
  if (named[0] == L'\xFEFF') wmemmove(named, named + 1, units);
  return true;
}

bool read_marker(const wchar_t* marker_path, wchar_t (&named)[marker_capacity]) {
  HANDLE marker =
      CreateFileW(marker_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return false;
  bool read = read_named(marker, named);
  CloseHandle(marker);
  return read;
}

// Nothing at path, while its volume answers: a launcher deleted with or without its folder,
// not one on a drive that is away or a share out of reach.
bool no_file_at(const wchar_t* path) {
  size_t root_length = volume_root_length(path);
  if (root_length == 0 || root_length >= MAX_PATH) return false;
  if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return false;
  DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return false;
  wchar_t root[MAX_PATH];
  wmemcpy(root, path, root_length);
  root[root_length] = 0;
  return GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

size_t volume_root_length(const wchar_t* path) {
  size_t skipped = 0;
  if (wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
    skipped = 8;
  } else if (wcsncmp(path, L"\\\\?\\", 4) == 0) {
    skipped = 4;
  } else if (wcsncmp(path, L"\\\\", 2) == 0) {
    skipped = 2;
  }
  const wchar_t* rest = path + skipped;
  if (skipped != 8 && skipped != 2) {
    return is_letter(rest[0]) && rest[1] == L':' && rest[2] == L'\\' ? skipped + 3 : 0;
  }
  // server\share\, neither of them empty.
  size_t length = through_backslash(rest, 2);
  if (length == 0 || rest[0] == L'\\' || rest[wcscspn(rest, L"\\") + 1] == L'\\') return 0;
  return skipped + length;
}

Owner owner_of(const wchar_t* named, const wchar_t* launcher_path) {
  if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, named, -1, launcher_path, -1) ==
      CSTR_EQUAL) {
    return Owner::this_launcher;
  }
  if (volume_root_length(named) == 0) return Owner::unknown;
  return no_file_at(named) ? Owner::gone : Owner::other;
}

Owner read_owner(const wchar_t* marker_path, const wchar_t* launcher_path) {
  wchar_t named[marker_capacity];
  return read_marker(marker_path, named) ? owner_of(named, launcher_path) : Owner::unknown;
}

Owner read_owner(HANDLE marker, const wchar_t* launcher_path) {
  wchar_t named[marker_capacity];
  return read_named(marker, named) ? owner_of(named, launcher_path) : Owner::unknown;
}
