// Our stand-in for the scale communication library. The program calls
// twswtcp_entry like a command-line tool: argv[1] is a command word, argv[2]
// the scale address ("a.b.c.d" or "a.b.c.d:port"). A download word fetches the
// scale's file of that kind into "SM" + address + "Tnn.dat" followed by the
// end marker "E2"; an upload word sends "SM" + address + "Fnn.dat". Before it
// returns, the library always writes its status (ScaleStatus.h) into the
// file "error" in the working folder.
//
// It runs on the caller's thread, keeps no state between calls, prints
// nothing and lets no exception or signal out.

#include "DataKind.h"
#include "Net.h"
#include "PendingFile.h"
#include "ScaleStatus.h"
#include "Wire.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#if defined(_WIN32)
// Exported by ordinal 2 only, through twswtcp.def.
#define TWSWTCP_EXPORT extern "C"
#else
#define TWSWTCP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace zalohy::scalelib {
namespace {

namespace fs = std::filesystem;
using net::Result;

constexpr const char* kStatusFileName = "error";
constexpr char kEndMarker[2] = {'E', '2'};
// A download is written as target + this until it is complete.
constexpr const char* kPartSuffix = ".part";
constexpr std::size_t kMaxWordLength = 255;
constexpr std::size_t kChunk = std::size_t(1) << 20;

struct CloseFile {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

struct Address {
    std::string host;
    std::uint16_t port = kDefaultPort;
};

// "a.b.c.d" or "a.b.c.d:port": numbers only. A host name is refused before
// anything is tried: its lookup could not be bounded by the time-outs, and a
// note in a list file must never turn into a name query.
bool parseAddress(std::string_view text, Address& out) {
    const std::size_t colon = text.find(':');
    std::uint32_t numeric = 0;
    if (!net::parseIPv4(text.substr(0, colon), numeric)) return false;
    if (colon != std::string_view::npos) {
        const std::string_view digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        unsigned port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        if (port == 0 || port > 65535) return false;
        out.port = static_cast<std::uint16_t>(port);
    }
    out.host = std::string(text.substr(0, colon));
    return true;
}

// Up to nine decimal digits.
bool parseCount(std::string_view digits, std::uint64_t& value) {
    if (digits.empty() || digits.size() > 9) return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

// Keeps a transfer moving: every wait is bounded by the idle time-out and by
// the end of the current progress window, and a window that ends before
// `minBytes` have moved ends the transfer (TimedOut).
class Pace {
public:
    using Clock = std::chrono::steady_clock;

    Pace() {
        // "BYTES/MILLISECONDS", both positive; anything else keeps the defaults.
        if (const char* text = std::getenv(kMinProgressVariable)) {
            const std::string_view value(text);
            const std::size_t slash = value.find('/');
            std::uint64_t bytes = 0, ms = 0;
            if (slash != std::string_view::npos && parseCount(value.substr(0, slash), bytes) &&
                parseCount(value.substr(slash + 1), ms) && bytes > 0 && ms > 0) {
                minBytes_ = bytes;
                window_ = std::chrono::milliseconds(ms);
            }
        }
        windowEnd_ = Clock::now() + window_;
    }

    // How long the next wait may last; 0 when the window is over.
    int waitMs() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(windowEnd_ - Clock::now()).count();
        return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, kIdleTimeoutMs));
    }

    void moved(std::size_t bytes) {
        moved_ += bytes;
        if (moved_ >= minBytes_) {
            moved_ = 0;
            windowEnd_ = Clock::now() + window_;
        }
    }

private:
    std::uint64_t minBytes_ = kMinProgressBytes;
    std::chrono::milliseconds window_{kProgressWindowMs};
    Clock::time_point windowEnd_;
    std::uint64_t moved_ = 0;
};

Result receiveSome(net::Socket& socket, void* data, std::size_t capacity, std::size_t& got, Pace& pace) {
    got = 0;
    const int wait = pace.waitMs();
    if (wait == 0) return Result::TimedOut;
    const Result r = net::receiveSome(socket, data, capacity, got, wait);
    if (r == Result::Ok) pace.moved(got);
    return r;
}

Result receiveAll(net::Socket& socket, void* data, std::size_t size, Pace& pace) {
    for (char* next = static_cast<char*>(data); size > 0;) {
        std::size_t got = 0;
        if (const Result r = receiveSome(socket, next, size, got, pace); r != Result::Ok) return r;
        next += got;
        size -= got;
    }
    return Result::Ok;
}

Result sendAll(net::Socket& socket, const void* data, std::size_t size, Pace& pace) {
    for (const char* next = static_cast<const char*>(data); size > 0;) {
        const int wait = pace.waitMs();
        if (wait == 0) return Result::TimedOut;
        std::size_t sent = 0;
        if (const Result r = net::sendSome(socket, next, size, sent, wait); r != Result::Ok) return r;
        pace.moved(sent);
        next += sent;
        size -= sent;
    }
    return Result::Ok;
}

// A word given by the caller, or false when it is null, empty or too long.
// Reads at most one character past the limit, so an over-long word costs nothing.
bool takeWord(const char* word, std::string_view& out) {
    if (!word) return false;
    std::size_t length = 0;
    while (length <= kMaxWordLength && word[length] != '\0') ++length;
    if (length == 0 || length > kMaxWordLength) return false;
    out = std::string_view(word, length);
    return true;
}

Status statusOf(Result r) {
    switch (r) {
    case Result::Ok:
        return kOk;
    case Result::TimedOut:
        return kTimedOut;
    case Result::Refused:
        return kCannotConnect;
    case Result::NotFound:
        return kBadArguments;
    case Result::NotLoopback:
        return kNotLoopback;
    case Result::Closed:
    case Result::Failed:
    case Result::Cancelled:
        return kConnectionLost;
    case Result::AddressInUse:
        break;
    }
    return kInternalError;
}

Status sendRequest(net::Socket& socket, wire::FrameType type, const DataKind& kind, std::uint64_t length,
                   Pace& pace) {
    wire::Header header;
    header.type = type;
    header.kind = static_cast<std::uint8_t>(kind.id);
    header.length = length;
    unsigned char bytes[wire::kHeaderSize];
    wire::encodeHeader(header, bytes);
    return statusOf(sendAll(socket, bytes, sizeof bytes, pace));
}

// Receives the answer header and checks it belongs to this request.
Status receiveAnswer(net::Socket& socket, const DataKind& kind, wire::Header& answer, Pace& pace) {
    unsigned char bytes[wire::kHeaderSize];
    if (const Result r = receiveAll(socket, bytes, sizeof bytes, pace); r != Result::Ok)
        return statusOf(r);
    if (wire::decodeHeader(bytes, answer) != wire::DecodeResult::Ok || answer.type != wire::FrameType::Answer ||
        answer.kind != kind.id)
        return kProtocolError;
    switch (static_cast<wire::AnswerStatus>(answer.status)) {
    case wire::AnswerStatus::Ok:
        return answer.length <= wire::kMaxPayload ? kOk : kProtocolError;
    case wire::AnswerStatus::NoSuchFile:
        return kNoSuchFile;
    case wire::AnswerStatus::UnsupportedVersion:
        return kProtocolError;
    default:
        return kScaleRefused;
    }
}

Status download(const DataKind& kind, const Address& address, std::string_view addressText) {
    const std::string target = scaleFileName(addressText, kind.downloadedSuffix);
    const std::string temp = target + kPartSuffix;
    // A file left by an earlier call must not pass for the result of this one,
    // and the temporary file of a call that was killed goes with it.
    std::error_code ec;
    fs::remove(target, ec);
    if (ec) return kLocalFileNotWritable;
    fs::remove(temp, ec);

    net::Socket socket;
    if (const Result r = net::connectTcp(address.host, address.port, kConnectTimeoutMs, socket); r != Result::Ok)
        return statusOf(r);
    Pace pace;
    if (const Status s = sendRequest(socket, wire::FrameType::Download, kind, 0, pace); s != kOk) return s;
    wire::Header answer;
    if (const Status s = receiveAnswer(socket, kind, answer, pace); s != kOk) return s;

    PendingFile file(target, temp);
    if (!file.open()) return kLocalFileNotWritable;
    // Not zeroed: a small file touches only the pages it needs of the block.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (std::uint64_t left = answer.length; left > 0;) {
        std::size_t got = 0;
        const Result r = receiveSome(socket, buffer.get(),
                                     static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk)), got, pace);
        if (r != Result::Ok) return statusOf(r);
        if (!file.write(buffer.get(), got)) return kLocalFileNotWritable;
        left -= got;
    }
    if (!file.write(kEndMarker, sizeof kEndMarker) || !file.commit()) return kLocalFileNotWritable;
    return kOk;
}

Status upload(const DataKind& kind, const Address& address, std::string_view addressText) {
    const std::string source = scaleFileName(addressText, kind.uploadSuffix);
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) return kLocalFileMissing;
    const std::uintmax_t size = fs::file_size(source, ec);
    if (ec || size > wire::kMaxPayload) return kLocalFileMissing;
    File file(std::fopen(source.c_str(), "rb"));
    if (!file) return kLocalFileMissing;

    net::Socket socket;
    if (const Result r = net::connectTcp(address.host, address.port, kConnectTimeoutMs, socket); r != Result::Ok)
        return statusOf(r);
    Pace pace;
    if (const Status s = sendRequest(socket, wire::FrameType::Upload, kind, size, pace); s != kOk) return s;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (std::uintmax_t left = size; left > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uintmax_t>(left, kChunk));
        // A file that shrinks while it is sent ends the exchange before the
        // scale has all of it, so the scale keeps its old file.
        if (std::fread(buffer.get(), 1, want, file.get()) != want) return kLocalFileMissing;
        if (const Result r = sendAll(socket, buffer.get(), want, pace); r != Result::Ok) return statusOf(r);
        left -= want;
    }
    wire::Header answer;
    return receiveAnswer(socket, kind, answer, pace);
}

Status run(int argc, char** argv) {
    std::string_view word, addressText;
    if (argc < 3 || !argv || !takeWord(argv[1], word) || !takeWord(argv[2], addressText)) return kBadArguments;
    bool isUpload = false;
    const DataKind* kind = kindByWord(word, &isUpload);
    if (!kind) return kUnknownWord;
    Address address;
    if (!parseAddress(addressText, address)) return kBadArguments;
    net::NetScope scope;
    if (!scope.ok()) return kInternalError;
    return isUpload ? upload(*kind, address, addressText) : download(*kind, address, addressText);
}

void writeStatusFile(int status) noexcept {
    if (std::FILE* f = std::fopen(kStatusFileName, "w")) {
        std::fprintf(f, "%d\n", status);
        std::fclose(f);
    }
}

}  // namespace
}  // namespace zalohy::scalelib

TWSWTCP_EXPORT int twswtcp_entry(int argc, char** argv) {
    using namespace zalohy::scalelib;
    int status = kInternalError;
    try {
        status = run(argc, argv);
    } catch (...) {
        status = kInternalError;
    }
    writeStatusFile(status);
    return status;
}
