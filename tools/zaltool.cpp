// zaltool: the backup archive container on the command line, and the
// program's backup and send runs unattended, for technicians, scripts and
// scheduled jobs. Every command is a file of commands/ on the kit of
// Command.h; exit status 0 when done, 1 with a line on stderr when the work
// fails, 2 with a line on stderr when the command line is wrong.
#include "Command.h"
#include "JobRunner.h"
#include "Platform.h"

#include <string_view>

int main(int argc, char** argv) {
    zalohy::platform::prepareConsole(argc, argv);
    // One scale of a list run, in a process of its own that the job runner
    // started (not for users): dispatched here, so that the command kit
    // knows nothing of the runner.
    if (argc > 1 && std::string_view(argv[1]) == zalohy::kJobCommand)
        return zalohy::runJobChild(argc - 1, argv + 1, zalohy::findScaleWork);
    return zalohy::runZaltool(argc, argv);
}
