// What differs between POSIX and Windows, behind one interface per area,
// each a header with a _posix/_win32 pair of sources (the build takes one):
// files and folders, processes, the scale library's loading, the console.
// The sockets (Sockets.h) and the stop signal (Signals.h) stand apart: only
// the scale library's wire layer and the emulator take them in.
#pragma once

#include "Console.h"
#include "Files.h"
#include "LibraryLoader.h"
#include "Processes.h"
