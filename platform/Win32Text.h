// Text between the Windows API's wide characters and the program's UTF-8,
// for the platform layer's Windows files only.
#pragma once

#include <string>
#include <windows.h>

namespace zalohy::platform {

inline std::string utf8Of(const wchar_t* text, int length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0u, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace zalohy::platform
