#include "support/system_libraries.h"

#include <windows.h>

#include <delayimp.h>

#include "support/later_calls.h"
#include "support/own_image.h"

namespace {

// What the loader gives when an imported DLL or function is missing.
constexpr UINT dll_not_found = 0xC0000135;
constexpr UINT function_not_found = 0xC0000139;

// SetDefaultDllDirectories took effect: LOAD_LIBRARY_SEARCH_SYSTEM32 is understood.
bool searches_system32_only = false;

template <typename Type>
Type* at_address(DWORD relative) {
  return reinterpret_cast<Type*>(const_cast<unsigned char*>(own_image_base()) + relative);
}

// Without LOAD_LIBRARY_SEARCH_SYSTEM32: by full path, and the DLL's own dependencies are
// searched from System32 on.
HMODULE load_by_full_path(const char* name) {
  wchar_t path[MAX_PATH + 64];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  path[length++] = L'\\';
  for (; *name != 0 && length < MAX_PATH + 62; ++name) path[length++] = static_cast<wchar_t>(*name);
  path[length] = 0;
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE load_system_library(const char* name) {
  if (searches_system32_only) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return load_by_full_path(name);
}

}  // namespace

void restrict_dll_search() {
  default_dll_directories_function restrict = find_default_dll_directories_function();
  searches_system32_only = restrict != nullptr&& restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!searches_system32_only) SetDllDirectoryW(L"");
}

void release_dll_search_for_child() {
  if (!searches_system32_only) SetDllDirectoryW(nullptr);
}

void restrict_dll_search_again() {
  if (!searches_system32_only) SetDllDirectoryW(L"");
}

// Called by the delay-load stubs on a function's first call: loads its DLL once, puts the
// function's address into its slot and returns it. A system without the DLL or the function
// ends the program as the loader would have for an import.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr library, FARPROC* slot) {
  HMODULE* module = at_address<HMODULE>(library->rvaHmod);
  if (*module == nullptr) {
    HMODULE loaded = load_system_library(at_address<const char>(library->rvaDLLName));
    if (loaded == nullptr) ExitProcess(dll_not_found);
    *module = loaded;
  }
  size_t index = static_cast<size_t>(slot - at_address<FARPROC>(library->rvaIAT));
  const IMAGE_THUNK_DATA& wanted = at_address<IMAGE_THUNK_DATA>(library->rvaINT)[index];
  const char* name =
      IMAGE_SNAP_BY_ORDINAL(wanted.u1.Ordinal)
          ? reinterpret_cast<const char*>(IMAGE_ORDINAL(wanted.u1.Ordinal))
          : at_address<IMAGE_IMPORT_BY_NAME>(static_cast<DWORD>(wanted.u1.AddressOfData))->Name;
  FARPROC function = GetProcAddress(*module, name);
  if (function == nullptr) ExitProcess(function_not_found);
  *slot = function;
  return function;
}
