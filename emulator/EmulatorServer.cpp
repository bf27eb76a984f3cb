#include "EmulatorServer.h"

#include "DataKind.h"
#include "DemoData.h"
#include "NetPoll.h"
#include "PendingFile.h"
#include "Wire.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace zalohy::emulator {
namespace {

namespace fs = std::filesystem;
using net::Result;

// How long the emulator waits for the next bytes of a request, and for room
// to send; the library gives up much sooner.
constexpr int kClientIdleMs = 10'000;
constexpr std::size_t kMaxConnections = 128;
constexpr std::size_t kChunk = std::size_t(1) << 20;
constexpr int kBindAttempts = 20;
constexpr const char* kTempSuffix = ".part";
// A test tool: its files need not survive a power cut, and syncing each one
// would slow every test that seeds many scales.
constexpr bool kDurableFiles = false;

// What --malformed sends instead of an answer: long enough to fill a header,
// and plainly not our protocol.
constexpr char kMalformedAnswer[] = "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n";

fs::path scaleFile(const fs::path& folder, int kindId) { return folder / (std::to_string(kindId) + ".dat"); }

// Sends one answer with the fault options applied: the delay before it, the
// malformed bytes instead of it, or the cut after so many bytes.
class AnswerStream {
public:
    AnswerStream(net::Socket& socket, const EmulatorOptions& options, const std::atomic<bool>& stopping)
        : socket_(socket), options_(options), stopping_(stopping) {}

    // False when nothing more is to be sent.
    bool begin(wire::AnswerStatus status, int kindId, std::uint64_t length) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.delayMs);
        while (!stopping_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (options_.malformed) {
            fault_ = " (malformed answer sent)";
            net::sendAll(socket_, kMalformedAnswer, sizeof kMalformedAnswer - 1, kClientIdleMs, &stopping_);
            return false;
        }
        wire::Header header;
        header.type = wire::FrameType::Answer;
        header.kind = static_cast<std::uint8_t>(kindId);
        header.status = static_cast<std::uint8_t>(status);
        header.length = length;
        unsigned char bytes[wire::kHeaderSize];
        wire::encodeHeader(header, bytes);
        return send(bytes, sizeof bytes);
    }

    bool send(const void* data, std::size_t size) {
        std::size_t allowed = size;
        if (options_.dropAfter) allowed = static_cast<std::size_t>(std::min<std::uint64_t>(size, *options_.dropAfter - sent_));
        if (net::sendAll(socket_, data, allowed, kClientIdleMs, &stopping_) != Result::Ok) {
            fault_ = " (connection lost)";
            return false;
        }
        sent_ += allowed;
        if (allowed < size) {
            fault_ = " (dropped after " + std::to_string(sent_) + " bytes)";
            return false;
        }
        return true;
    }

    const std::string& fault() const { return fault_; }

private:
    net::Socket& socket_;
    const EmulatorOptions& options_;
    const std::atomic<bool>& stopping_;
    std::uint64_t sent_ = 0;
    std::string fault_;
};

// "upload 25" / "download 34"
std::string requestName(wire::FrameType type, int kindId) {
    return (type == wire::FrameType::Upload ? "upload " : "download ") + std::to_string(kindId);
}

}  // namespace

EmulatorServer::EmulatorServer(EmulatorOptions options) : options_(std::move(options)) {}

EmulatorServer::~EmulatorServer() {
    stopping_ = true;
    reapWorkers(true);
}

bool EmulatorServer::start(std::string& error) { return prepare(error) && bindAll(error); }

bool EmulatorServer::prepare(std::string& error) {
    for (std::uint32_t address : options_.addresses) {
        Scale scale;
        scale.address = address;
        scale.name = net::formatIPv4(address);
        scale.folder = options_.dataDir / scale.name;
        if (!prepareFolder(scale, error)) return false;
        scales_.push_back(std::move(scale));
    }
    return true;
}

void EmulatorServer::serveConnection(net::Socket connection, std::size_t scale) {
    handle(std::move(connection), scales_.at(scale));
}

bool EmulatorServer::prepareFolder(Scale& scale, std::string& error) {
    std::error_code ec;
    fs::create_directories(scale.folder, ec);
    if (ec) {
        error = "cannot create " + scale.folder.string() + ": " + ec.message();
        return false;
    }
    // Uploads cut off by an earlier run that was killed.
    for (const fs::directory_entry& entry : fs::directory_iterator(scale.folder, ec))
        if (entry.path().extension() == kTempSuffix) fs::remove(entry.path(), ec);
    if (!options_.seed) return true;
    for (const DataKind& kind : kDataKinds) {
        const fs::path file = scaleFile(scale.folder, kind.id);
        if (fs::exists(file, ec)) continue;
        const std::string bytes = demoFile(kind.id, scale.name);
        PendingFile pending(file, fs::path(file).concat(kTempSuffix), kDurableFiles);
        if (!pending.open() || !pending.write(bytes.data(), bytes.size()) || !pending.commit()) {
            error = "cannot write " + file.string();
            return false;
        }
    }
    return true;
}

bool EmulatorServer::bindAll(std::string& error) {
    for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
        std::uint16_t port = options_.port;
        bool retry = false;
        for (Scale& scale : scales_) scale.listener.close();
        for (Scale& scale : scales_) {
            const Result r = net::listenTcp(scale.address, port, scale.listener);
            if (r == Result::AddressInUse && options_.port == 0 && port != 0) {
                retry = true;  // the free port of the first address is taken on this one
                break;
            }
            if (r != Result::Ok) {
                error = "cannot listen on " + scale.name + ":" + std::to_string(port) + ": " + net::lastErrorText();
                return false;
            }
            if (port == 0) port = net::localPort(scale.listener);
        }
        if (!retry) {
            port_ = port;
            return true;
        }
    }
    error = "no port is free on every listen address";
    return false;
}

std::string EmulatorServer::readyLine() const {
    std::string line = "ready port=" + std::to_string(port_) + " addresses=";
    for (std::size_t i = 0; i < scales_.size(); ++i) line += (i ? "," : "") + scales_[i].name;
    return line + " data=" + options_.dataDir.string();
}

void EmulatorServer::serve(net::NativeSocket wakeFd) {
    std::vector<pollfd> fds(scales_.size() + 1);
    fds[0] = {wakeFd, POLLIN, 0};
    for (std::size_t i = 0; i < scales_.size(); ++i) fds[i + 1] = {scales_[i].listener.native(), POLLIN, 0};
    for (;;) {
        const int n = net::pollMany(fds.data(), fds.size(), 500);
        reapWorkers(false);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (fds[0].revents) break;
        for (std::size_t i = 0; i < scales_.size(); ++i)
            if (fds[i + 1].revents) acceptPending(scales_[i]);
    }
    stopping_ = true;
    for (Scale& scale : scales_) scale.listener.close();
    reapWorkers(true);
}

void EmulatorServer::acceptPending(Scale& scale) {
    net::Socket connection;
    while (net::acceptConnection(scale.listener, connection) == Result::Ok) {
        if (workers_.size() >= kMaxConnections) {
            log(scale, "too many connections: closed");
            connection.close();
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, &scale, done, c = std::move(connection)]() mutable {
            try {
                handle(std::move(c), scale);
            } catch (const std::exception& e) {
                log(scale, std::string("connection failed: ") + e.what());
            }
            *done = true;
        });
        workers_.push_back({std::move(thread), std::move(done)});
    }
}

void EmulatorServer::reapWorkers(bool all) {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (all || *it->done) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void EmulatorServer::handle(net::Socket connection, const Scale& scale) {
    unsigned char bytes[wire::kHeaderSize];
    if (net::receiveAll(connection, bytes, sizeof bytes, kClientIdleMs, &stopping_) != Result::Ok) {
        log(scale, "connection closed before a whole request");
        return;
    }
    wire::Header request;
    const wire::DecodeResult decoded = wire::decodeHeader(bytes, request);
    if (decoded == wire::DecodeResult::BadMagic) {
        log(scale, "not our protocol: connection closed");
        return;
    }
    const DataKind* kind = kindById(request.kind);
    const bool isRequest = request.type == wire::FrameType::Download || request.type == wire::FrameType::Upload;
    if (decoded != wire::DecodeResult::Ok || !isRequest || !kind) {
        const bool badVersion = decoded == wire::DecodeResult::BadVersion;
        AnswerStream answer(connection, options_, stopping_);
        answer.begin(badVersion ? wire::AnswerStatus::UnsupportedVersion : wire::AnswerStatus::BadRequest,
                     request.kind, 0);
        log(scale, badVersion ? "protocol version " + std::to_string(request.version) + " refused"
                              : "bad request refused" + answer.fault());
        return;
    }
    const std::string name = requestName(request.type, kind->id);
    if (options_.stall) {
        log(scale, name + ": stalling, no answer");
        stall(connection);
        return;
    }
    const std::string outcome = request.type == wire::FrameType::Download
                                    ? download(connection, scale, kind->id)
                                    : upload(connection, scale, kind->id, request.length);
    log(scale, name + ": " + outcome);
}

std::string EmulatorServer::download(net::Socket& connection, const Scale& scale, int kindId) {
    AnswerStream answer(connection, options_, stopping_);
    const fs::path path = scaleFile(scale.folder, kindId);
    std::FILE* file = options_.refusedKinds.count(kindId) ? nullptr : std::fopen(path.string().c_str(), "rb");
    // The size of the file opened, even if an upload replaces it meanwhile.
    const off_t end = file && fseeko(file, 0, SEEK_END) == 0 ? ftello(file) : -1;
    if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) {
        if (file) std::fclose(file);
        answer.begin(wire::AnswerStatus::NoSuchFile, kindId, 0);
        return "no such file" + answer.fault();
    }
    const auto size = static_cast<std::uintmax_t>(end);
    std::string outcome = std::to_string(size) + " bytes sent";
    if (answer.begin(wire::AnswerStatus::Ok, kindId, size)) {
        std::vector<char> buffer(kChunk);
        for (std::uintmax_t left = size; left > 0;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uintmax_t>(left, kChunk));
            if (std::fread(buffer.data(), 1, want, file) != want) {
                outcome = "cannot read " + path.string() + ": connection closed";
                break;
            }
            if (!answer.send(buffer.data(), want)) break;
            left -= want;
        }
    }
    std::fclose(file);
    return outcome + answer.fault();
}

std::string EmulatorServer::upload(net::Socket& connection, const Scale& scale, int kindId, std::uint64_t length) {
    AnswerStream answer(connection, options_, stopping_);
    if (length > wire::kMaxPayload) {
        answer.begin(wire::AnswerStatus::TooLarge, kindId, 0);
        return std::to_string(length) + " bytes is too large: refused" + answer.fault();
    }
    const fs::path target = scaleFile(scale.folder, kindId);
    const fs::path temp = scale.folder / ("." + std::to_string(kindId) + ".dat." +
                                          std::to_string(++uploadCounter_) + kTempSuffix);
    const bool refused = options_.refusedKinds.count(kindId) > 0;
    PendingFile file(target, temp, kDurableFiles);
    bool storing = !refused && file.open();
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kChunk)) + 1);
    for (std::uint64_t left = length; left > 0;) {
        std::size_t got = 0;
        const Result r = net::receiveSome(connection, buffer.data(),
                                          static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())), got,
                                          kClientIdleMs, &stopping_);
        if (r != Result::Ok)
            return "connection lost after " + std::to_string(length - left) + " of " + std::to_string(length) +
                   " bytes: nothing stored";
        storing = storing && file.write(buffer.data(), got);
        left -= got;
    }
    const bool stored = storing && file.commit();
    answer.begin(stored ? wire::AnswerStatus::Ok : wire::AnswerStatus::StorageFailed, kindId, 0);
    const std::string outcome = stored    ? std::to_string(length) + " bytes stored"
                                : refused ? "refused"
                                          : "cannot store " + target.string();
    return outcome + answer.fault();
}

void EmulatorServer::stall(net::Socket& connection) {
    // Reads and drops whatever comes until the peer gives up or we stop.
    char sink[4096];
    std::size_t got = 0;
    while (net::receiveSome(connection, sink, sizeof sink, got, kClientIdleMs * 6, &stopping_) == Result::Ok) {
    }
}

void EmulatorServer::log(const Scale& scale, const std::string& line) {
    const std::lock_guard<std::mutex> lock(logMutex_);
    std::printf("%s %s\n", scale.name.c_str(), line.c_str());
    std::fflush(stdout);
}

}  // namespace zalohy::emulator
