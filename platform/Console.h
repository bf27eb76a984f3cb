// What a console program takes from the system: the local time, this
// computer's name, and its standard streams and arguments as UTF-8.
// Console_posix.cpp and Console_win32.cpp implement it.
#pragma once

#include <ctime>
#include <string>

namespace zalohy::platform {

std::tm localTime(std::time_t when);
// This computer's name as the network knows it (UTF-8); empty when unknown.
std::string computerName();

// A console program's start: stdout and stderr take bytes as written (a line
// ends in LF on Windows too, not CR LF), and argv holds the command line as
// UTF-8 (on Windows rebuilt from the wide command line, so a name such as
// C:\Users\Jiří\... reaches the program intact). Nothing elsewhere.
void prepareConsole(int& argc, char**& argv);
// stdout and stderr take UTF-8 bytes as written: binary mode and the
// console's UTF-8 code page on Windows; nothing elsewhere.
void prepareConsoleOutput();
}  // namespace zalohy::platform
