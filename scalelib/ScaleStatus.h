// The status the scale library writes into the file "error" and returns.
// 1 is never used by the library: the program's command runner returns 1
// itself when "error" cannot be read.
#pragma once

#include <cstdint>

namespace zalohy::scalelib {

enum Status : int {
    kOk = 0,
    kBadArguments = 2,      // fewer than three words, a null or empty word, a word too long, a malformed address or port
    kUnknownWord = 3,       // the command word is none of the twelve download and upload words
    kHostNotFound = 4,      // the host name cannot be resolved
    kCannotConnect = 5,     // nothing listens at the address, or it cannot be reached
    kTimedOut = 6,          // no connection, or no data moved, within the time-out
    kConnectionLost = 7,    // the scale closed or reset the connection in the middle of the exchange
    kProtocolError = 8,     // the peer does not speak our protocol or version, or its answer is malformed
    kNoSuchFile = 9,        // the scale has no file of that kind
    kScaleRefused = 10,     // the scale refused the request (could not store the upload, too large, ...)
    kLocalFileMissing = 11, // upload: the file to send is missing, unreadable or too large
    kLocalFileNotWritable = 12, // download: the file cannot be written or renamed in the working folder
    kInternalError = 13,    // anything unexpected (out of memory, ...)
    kNotLoopback = 14,      // TWSWTCP_LOOPBACK_ONLY is set and the target is outside 127.0.0.0/8
};

// Without ":port" in the address the library connects to this port, and the
// emulator listens on it.
inline constexpr std::uint16_t kDefaultPort = 40174;

// Connect time-out, and the longest the library waits for the next bytes of
// an answer (or for room to send) before it gives up.
inline constexpr int kConnectTimeoutMs = 3000;
inline constexpr int kIdleTimeoutMs = 3000;

}  // namespace zalohy::scalelib
