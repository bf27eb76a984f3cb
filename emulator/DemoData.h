// Demo contents of an emulated scale: plausible files of realistic sizes for
// each data kind, always the same for the same scale address, so a new user
// can back up a scale at once and tests can rely on the bytes.
#pragma once

#include <string>
#include <string_view>

namespace zalohy::emulator {

// The demo file of the kind with this member id (34, 38, 52, 41, 25, 67).
std::string demoFile(int kindId, std::string_view scaleAddress);

}  // namespace zalohy::emulator
