// The packaged GUI program of the progress tests: it leaves a mark beside its folder that
// it runs, is busy for a second as a program that sets itself up, then waits for input for
// two seconds as a program's message loop does, and exits.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder = folder.substr(0, folder.rfind(L'\\'));
  std::wstring mark = folder.substr(0, folder.rfind(L'\\')) + L"\\child-started";
  CloseHandle(CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(1000);
  DWORD end = GetTickCount() + 2000;
  MSG message;
  while (GetTickCount() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return 0;
}
