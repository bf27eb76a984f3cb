// What a backup run or a send run came to, for whoever started it: the
// dialogs show it in their window, zaltool and its list runs decide their
// exit status and their own lines from it, never from the window's text.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace zalohy {

// A set of kinds of data, in the order of kDataKinds.
using KindSet = std::array<bool, 6>;
inline constexpr KindSet kAllKinds{true, true, true, true, true, true};

// One kind of data in one run, in the order of kDataKinds.
struct KindOutcome {
    bool tried = false;  // the run reached this kind
    bool done = false;   // backed up, or sent
    int status = 0;      // the library's status of its transfer; 0 when that went through
};

struct RunResult {
    // Every kind asked for was done, and the run said so.
    bool complete = false;
    // A failure that ends a run over a list (a kind the archive cannot give).
    bool stopsTheList = false;
    std::array<KindOutcome, 6> kinds{};
    // The lines the run added to the window's text box, in order (also those
    // a cleared box no longer shows).
    std::vector<std::string> lines;

    // The library's status of the first transfer that failed; 0 when none did.
    int failedStatus() const {
        for (const KindOutcome& kind : kinds)
            if (kind.status != 0) return kind.status;
        return 0;
    }
};

// A send run over a list of scales.
struct ListRunResult {
    bool complete = false;  // every listed scale got everything and the list was read to its end
    bool stopped = false;   // a failed extraction ended the run
    int visited = 0;        // scales the run tried
    int failed = 0;         // of them, those that did not get everything
    std::vector<std::string> lines;
};

}  // namespace zalohy
