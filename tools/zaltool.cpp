// zaltool: the backup archive container on the command line, and the
// program's backup and send runs unattended, for technicians, scripts and
// scheduled jobs. Every command is a file of commands/ on the kit of
// Command.h; exit status 0 when done, 1 with a line on stderr when the work
// fails, 2 with a line on stderr when the command line is wrong.
#include "Command.h"
#include "Platform.h"

int main(int argc, char** argv) {
    zalohy::platform::prepareConsole(argc, argv);
    return zalohy::runZaltool(argc, argv);
}
