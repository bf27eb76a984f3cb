// A stand-in scale library for the binding tests: it records the arguments it
// was given in "argv.txt" and leaves the status 0 in "error", both in the
// working folder. It talks to no scale.
#include <cstdio>

extern "C" int twswtcp_entry(int argc, char** argv) {
    if (std::FILE* f = std::fopen("argv.txt", "wb")) {
        std::fprintf(f, "%d|%s|%s|%s", argc, argv[0], argv[1], argv[2]);
        std::fclose(f);
    }
    if (std::FILE* f = std::fopen("error", "w")) {
        std::fputs("0\n", f);
        std::fclose(f);
    }
    return 0;
}
