// Texts are UTF-8 inside the program; the Windows calls take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace zalohy::win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);

// A message-box or edit-box text: every line break becomes CR LF.
std::wstring wideWithCrLf(std::string_view utf8);

}  // namespace zalohy::win32
