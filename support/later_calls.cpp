#include "support/later_calls.h"

namespace {

template <typename Function>
Function find_kernel_function(const char* name) {
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  if (kernel == nullptr) return nullptr;
  FARPROC found = GetProcAddress(kernel, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

final_path_function find_final_path_function() {
  return find_kernel_function<final_path_function>("GetFinalPathNameByHandleW");
}

set_information_function find_set_information_function() {
  return find_kernel_function<set_information_function>("SetFileInformationByHandle");
}

default_dll_directories_function find_default_dll_directories_function() {
  return find_kernel_function<default_dll_directories_function>("SetDefaultDllDirectories");
}
