// The Windows program's entry: everything happens in runProgram().
#include "Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return zalohy::win32::runProgram(); }
