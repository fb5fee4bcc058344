#pragma once
// A stand-in for CreateDirectoryW over an imaginary file system, linked instead of
// paths/platform_directory.cpp, that records every call; system folders are the system's,
// but the profile folder can be missing.
#include <set>
#include <string>
#include <vector>

struct FakeFileSystem {
  std::set<std::wstring> existing;  // folders that exist (drive designators always do)
  std::set<std::wstring> refused;   // folders whose creation is denied
  std::vector<std::wstring> calls;  // every path handed to the system, in order
  bool no_profile_folder = false;   // the system has none for the user
};

extern FakeFileSystem fake_file_system;
