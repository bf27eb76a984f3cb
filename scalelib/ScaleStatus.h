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
    kHostNotFound = 4,      // no longer written: a host name is a malformed address (2), never looked up
    kCannotConnect = 5,     // nothing listens at the address, or it cannot be reached
    kTimedOut = 6,          // no connection, no data moving, or too little moving, within the time-outs
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

// The least a transfer must move once connected: fewer than kMinProgressBytes
// in kProgressWindowMs (counted from the start of the exchange, and again from
// each moment the minimum has been reached) ends it with kTimedOut, so a peer
// that trickles bytes cannot hold the caller for ever. The environment
// variable TWSWTCP_MIN_PROGRESS="BYTES/MILLISECONDS" (two positive integers)
// replaces both for tests; it is read by the library alone.
inline constexpr std::uint64_t kMinProgressBytes = 4096;
inline constexpr int kProgressWindowMs = 10000;
inline constexpr const char* kMinProgressVariable = "TWSWTCP_MIN_PROGRESS";

}  // namespace zalohy::scalelib
