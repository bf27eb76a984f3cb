// A child for the process tests: ends with exit status ARGV[1] after
// sleeping ARGV[2] milliseconds, or with 99 when ARGV[3], when given, did
// not arrive as kTrickyArgument (spaces, quotes, backslashes, UTF-8).
#include "Console.h"
#include "TrickyArgument.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    zalohy::platform::prepareConsole(argc, argv);
    if (argc > 3 && std::string(argv[3]) != kTrickyArgument) return 99;
    if (argc > 2) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return argc > 1 ? std::atoi(argv[1]) : 0;
}
