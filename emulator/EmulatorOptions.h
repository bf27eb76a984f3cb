// The emulator's command line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zalohy::emulator {

struct EmulatorOptions {
    std::filesystem::path dataDir;
    std::vector<std::uint32_t> addresses;  // one emulated scale per address
    std::uint16_t port = 0;                // shared by every address; 0: any free port
    bool seed = false;                     // fill missing scale files with demo data
    bool allowNonLoopback = false;

    // Fault injection.
    std::set<int> refusedKinds;             // member ids: "no such file" / upload refused
    int delayMs = 0;                        // before every answer
    std::optional<std::uint64_t> dropAfter; // close after this many bytes of an answer
    bool malformed = false;                 // answer with bytes that are not our protocol
    bool stall = false;                     // read the request, never answer

    // Limits on clients: a connection is dropped when nothing moves for this
    // long, and when, counted from its start, it moves fewer bytes than
    // minRate per second beyond this allowance (a trickling client).
    int idleTimeoutMs = 10'000;
    std::uint64_t minRate = 1024;
};

enum class ParseOutcome { Run, Help, Version, Error };

// Fills `options` from argv with getopt_long (which may reorder argv); on
// Error, `error` says why in one line. Addresses outside 127.0.0.0/8 are
// refused here, before anything is bound, unless --allow-non-loopback is given.
ParseOutcome parseOptions(int argc, char* const* argv, EmulatorOptions& options, std::string& error);

const char* usageText();

}  // namespace zalohy::emulator
