// Checks a scale address before it is used to build file names and a command
// line: an address that cannot name a scale would otherwise build names
// outside the working folder or overflow the library's command line.
#pragma once

#include <string_view>

namespace zalohy {

// NotInFileName: a character Windows does not allow in a file name: * ? " < >
// and | on every platform (no scale address holds one, and a list written on
// Linux must work on Windows), and : on Windows, where it would name an NTFS
// stream of another file. Linux keeps the scale library's host:port form.
enum class AddressProblem { None, Empty, TooLong, Blank, ControlCharacter, PathSeparator, NotInFileName, NotAscii };

// address: the 8-bit form handed to the library and used in file names.
AddressProblem checkScaleAddress(std::string_view address);

// A short Czech sentence naming the problem (UTF-8), empty for None.
const char* addressProblemText(AddressProblem problem);

}  // namespace zalohy
