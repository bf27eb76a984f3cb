// Text in Windows code page 1250, the encoding of the settings file and the
// list file, converted to and from the UTF-8 the program works in.
#pragma once

#include <string>
#include <string_view>

namespace zalohy {

// A character outside the code page becomes "?", as the Windows conversion
// does; so does a byte sequence that is not UTF-8.
std::string utf8ToCp1250(std::string_view utf8);
// Every byte has a character except 0x81, 0x83, 0x88, 0x90 and 0x98, which
// become U+FFFD.
std::string cp1250ToUtf8(std::string_view bytes);

}  // namespace zalohy
