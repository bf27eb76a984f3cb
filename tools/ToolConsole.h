// What a command-line tool needs to behave the same on every platform: its
// arguments as UTF-8 and its output bytes exactly as written.
#pragma once

namespace zalohy {

// On Windows, switches stdout and stderr to binary mode (a line ends in LF,
// as on Linux, not CR LF) and replaces argv with the UTF-8 form of the wide
// command line, so a file name with any letters (C:\Users\Jiří\...) reaches
// the tool intact instead of through the ANSI code page. Elsewhere it does
// nothing: arguments already are the bytes of the file names.
void prepareToolConsole(int& argc, char**& argv);

}  // namespace zalohy
