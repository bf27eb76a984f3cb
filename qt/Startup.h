#pragma once

#include <functional>

class QWidget;

namespace zalohy {

struct LibraryBinding;

// Tells the user, in a box, which library could not be bound and why.
// Returns whether the binding succeeded.
bool reportLibraryBinding(const LibraryBinding& binding);

// The whole program: binds the scale library, creates the main window and
// the two dialogs, and runs the message loop until the main window closes.
// Returns 0, or non-zero when the scale library cannot be bound.
// firstPainted, when given, runs once the main window has first been drawn
// (the start-up benchmark measures up to there).
int runProgram(int argc, char** argv, std::function<void(QWidget*)> firstPainted = {});

}  // namespace zalohy
