// The part of the file layer that is the same on every system.
#include "Files.h"

#include <algorithm>
#include <random>

namespace zalohy::platform {

std::string randomHex(int digits) {
    static std::mt19937_64 random{std::random_device{}()};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    std::uint64_t r = random();
    for (int i = 0; i < std::min(digits, 16); ++i, r >>= 4) text.push_back(hex[r & 15]);
    return text;
}

}  // namespace zalohy::platform
