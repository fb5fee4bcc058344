// A GUI program with an icon and version strings of its own, as a user's main program
// would have: what a launcher made from it should show.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 7; }
