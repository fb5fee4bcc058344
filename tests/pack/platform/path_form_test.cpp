// How the Windows tool reads the paths it is given: shares and verbatim paths as the places
// they name, device paths refused, and no file made under a name Windows would change.
#include <gtest/gtest.h>

#include "pack/platform/full_path.h"
#include "pack/platform/windows_path_form.h"
#include "pack/scan/utf.h"

namespace pack_test {
namespace {

TEST(WindowsPathForm, RefusesTheDeviceNamespace) {
  for (const char16_t* path :
       {u"\\\\.\\pipe\\x", u"\\\\.\\mailslot\\m", u"\\\\.\\globalroot\\x", u"//./pipe/x",
        u"\\\\.\\C:\\x", u"\\\\?\\GLOBALROOT\\Device\\x", u"\\\\?\\pipe\\x", u"\\\\?\\C:",
        u"\\\\?\\UNC\\srv", u"\\\\?\\UNC\\\\share\\x", u"\\??\\C:\\x", u"\\\\.", u"\\\\?"}) {
    EXPECT_NE("", pack::windows_namespace_problem(path)) << pack::utf16_to_utf8(path);
    EXPECT_NE("", pack::windows_output_path_problem(path)) << pack::utf16_to_utf8(path);
  }
}

TEST(WindowsPathForm, RefusesOutputNamesWindowsWouldChange) {
  const char16_t* refused[] = {
      u"out.exe.",         u"out.exe ",          u"out.exe:s",          u"C:\\x\\out.exe:s:$DATA",
      u"dir.\\out.exe",    u"C:\\dir \\out.exe", u"\\\\srv\\share\\x.", u"\\\\?\\C:\\x\\CON",
      u"\\\\?\\C:\\x\\a.", u"\\\\?\\C:\\x\\..",  u"\\\\?\\C:\\x\\a<b",  u"\\\\?\\UNC\\s\\h\\x:y",
  };
  for (const char16_t* path : refused) {
    EXPECT_NE("", pack::windows_output_path_problem(path)) << pack::utf16_to_utf8(path);
  }
  const char16_t* kept[] = {u"out.exe",
                            u"C:out.exe",
                            u"..\\x\\.\\out.exe",
                            u"C:\\x\\out",
                            u"\\\\srv\\share\\x",
                            u"\\\\?\\C:\\x\\.hidden",
                            u"\\\\?\\UNC\\s\\h\\x",
                            u"d:/a b/out.exe",
                            u"\\\\srv\\share\\"};
  for (const char16_t* path : kept) {
    EXPECT_EQ("", pack::windows_output_path_problem(path)) << pack::utf16_to_utf8(path);
  }
}

#ifndef _WIN32
// Linux file systems keep such names as they are; what Windows would make of them is no
// concern of a file written there.
TEST(WindowsPathForm, LinuxOutputsTakeAnyName) {
  for (const char* path : {"out.exe.", "out.exe ", "out.exe:s", "\\\\.\\pipe\\x"}) {
    EXPECT_EQ("", pack::output_path_problem(path)) << path;
  }
}
#endif

}  // namespace
}  // namespace pack_test
