#include "Startup.h"

int main(int argc, char** argv) { return zalohy::runProgram(argc, argv); }
