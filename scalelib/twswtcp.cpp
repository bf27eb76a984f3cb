// Our stand-in for the scale communication library. The program calls
// twswtcp_entry like a command-line tool: argv[1] is a command word, argv[2]
// the scale address ("host" or "host:port"). A download word fetches the
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
#include <cstdio>
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
constexpr std::size_t kMaxWordLength = 255;
constexpr std::size_t kMaxHostLength = 253;
constexpr std::size_t kChunk = std::size_t(1) << 20;

struct CloseFile {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

struct Address {
    std::string host;
    std::uint16_t port = kDefaultPort;
};

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// "host" or "host:port"; the host is a dotted IPv4 address or a plain name.
// Anything else is refused before any name is looked up.
bool parseAddress(std::string_view text, Address& out) {
    const std::size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty() || host.size() > kMaxHostLength) return false;
    for (char c : host)
        if (!isHostCharacter(c)) return false;
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
    out.host = std::string(host);
    return true;
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
        return kHostNotFound;
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

Status sendRequest(net::Socket& socket, wire::FrameType type, const DataKind& kind, std::uint64_t length) {
    wire::Header header;
    header.type = type;
    header.kind = static_cast<std::uint8_t>(kind.id);
    header.length = length;
    unsigned char bytes[wire::kHeaderSize];
    wire::encodeHeader(header, bytes);
    return statusOf(net::sendAll(socket, bytes, sizeof bytes, kIdleTimeoutMs));
}

// Receives the answer header and checks it belongs to this request.
Status receiveAnswer(net::Socket& socket, const DataKind& kind, wire::Header& answer) {
    unsigned char bytes[wire::kHeaderSize];
    if (const Result r = net::receiveAll(socket, bytes, sizeof bytes, kIdleTimeoutMs); r != Result::Ok)
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
    // A file left by an earlier call must not pass for the result of this one.
    std::error_code ec;
    fs::remove(target, ec);
    if (ec) return kLocalFileNotWritable;

    net::Socket socket;
    if (const Result r = net::connectTcp(address.host, address.port, kConnectTimeoutMs, socket); r != Result::Ok)
        return statusOf(r);
    if (const Status s = sendRequest(socket, wire::FrameType::Download, kind, 0); s != kOk) return s;
    wire::Header answer;
    if (const Status s = receiveAnswer(socket, kind, answer); s != kOk) return s;

    PendingFile file(target, target + ".part");
    if (!file.open()) return kLocalFileNotWritable;
    // Not zeroed: a small file touches only the pages it needs of the block.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (std::uint64_t left = answer.length; left > 0;) {
        std::size_t got = 0;
        const Result r =
            net::receiveSome(socket, buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk)),
                             got, kIdleTimeoutMs);
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
    if (const Status s = sendRequest(socket, wire::FrameType::Upload, kind, size); s != kOk) return s;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (std::uintmax_t left = size; left > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uintmax_t>(left, kChunk));
        // A file that shrinks while it is sent ends the exchange before the
        // scale has all of it, so the scale keeps its old file.
        if (std::fread(buffer.get(), 1, want, file.get()) != want) return kLocalFileMissing;
        if (const Result r = net::sendAll(socket, buffer.get(), want, kIdleTimeoutMs); r != Result::Ok)
            return statusOf(r);
        left -= want;
    }
    wire::Header answer;
    return receiveAnswer(socket, kind, answer);
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
