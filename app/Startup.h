#pragma once

namespace zalohy {

// The whole program: binds the scale library, creates the main window and
// the two dialogs, and runs the message loop until the main window closes.
// Returns 0, or non-zero when the scale library cannot be bound.
int runProgram(int argc, char** argv);

}  // namespace zalohy
