// The local time, the computer's name and the console on Linux and other POSIX systems.
#include "Console.h"

#include <unistd.h>

namespace zalohy::platform {

std::tm localTime(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}

std::string computerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

void prepareConsole(int&, char**&) {}

void prepareConsoleOutput() {}
}  // namespace zalohy::platform
