#include "EmulatorServer.h"

#include "DataKind.h"
#include "DemoData.h"
#include "PendingFile.h"
#include "Wire.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace zalohy::emulator {
namespace {

namespace fs = std::filesystem;
using net::Result;

constexpr std::size_t kMaxConnections = 128;
// How often the serving loop looks for finished connections while the
// table is full and new clients wait in the listen queue.
constexpr int kFullTablePollMs = 20;
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

}  // namespace

using net::Result;

// The time a connection has left: nothing moving for the idle time-out ends
// it, and so does moving less than the minimum rate, counted from its start
// with the idle time-out as allowance, so a client that trickles a byte now
// and then cannot hold a connection for ever.
class Clock {
public:
    explicit Clock(const EmulatorOptions& options)
        : idleMs_(options.idleTimeoutMs), minRate_(options.minRate), begin_(std::chrono::steady_clock::now()) {}

    int timeoutMs() const {
        using namespace std::chrono;
        const auto due = begin_ + milliseconds(idleMs_) +
                         milliseconds(static_cast<std::int64_t>(std::min<std::uint64_t>(moved_ * 1000 / minRate_,
                                                                                         1ull << 40)));
        const auto left = duration_cast<milliseconds>(due - steady_clock::now()).count();
        return static_cast<int>(std::clamp<std::int64_t>(left, 0, idleMs_));
    }
    void moved(std::size_t bytes) { moved_ += bytes; }

    Result receive(net::Socket& socket, void* data, std::size_t capacity, std::size_t& got,
                   const std::atomic<bool>& stopping) {
        const Result r = net::receiveSome(socket, data, capacity, got, timeoutMs(), &stopping);
        if (r == Result::Ok) moved(got);
        return r;
    }
    Result receiveAll(net::Socket& socket, void* data, std::size_t size, const std::atomic<bool>& stopping) {
        for (char* next = static_cast<char*>(data); size > 0;) {
            std::size_t got = 0;
            if (const Result r = receive(socket, next, size, got, stopping); r != Result::Ok) return r;
            next += got;
            size -= got;
        }
        return Result::Ok;
    }
    Result sendAll(net::Socket& socket, const void* data, std::size_t size, const std::atomic<bool>& stopping) {
        for (const char* next = static_cast<const char*>(data); size > 0;) {
            std::size_t sent = 0;
            if (const Result r = net::sendSome(socket, next, size, sent, timeoutMs(), &stopping); r != Result::Ok)
                return r;
            moved(sent);
            next += sent;
            size -= sent;
        }
        return Result::Ok;
    }

private:
    int idleMs_;
    std::uint64_t minRate_;
    std::chrono::steady_clock::time_point begin_;
    std::uint64_t moved_ = 0;
};

namespace {

// Sends one answer with the fault options applied: the delay before it, the
// malformed bytes instead of it, or the cut after so many bytes.
class AnswerStream {
public:
    AnswerStream(net::Socket& socket, const EmulatorOptions& options, const std::atomic<bool>& stopping,
                 Clock& clock)
        : socket_(socket), options_(options), stopping_(stopping), clock_(clock) {}

    // False when nothing more is to be sent.
    bool begin(wire::AnswerStatus status, int kindId, std::uint64_t length) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.delayMs);
        while (!stopping_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (options_.malformed) {
            fault_ = " (malformed answer sent)";
            clock_.sendAll(socket_, kMalformedAnswer, sizeof kMalformedAnswer - 1, stopping_);
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
        if (clock_.sendAll(socket_, data, allowed, stopping_) != Result::Ok) {
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
    Clock& clock_;
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

void EmulatorServer::serve(int wakeFd) {
    std::vector<pollfd> fds(scales_.size() + 1);
    fds[0] = {wakeFd, POLLIN, 0};
    for (std::size_t i = 0; i < scales_.size(); ++i) fds[i + 1] = {scales_[i].listener.native(), POLLIN, 0};
    for (;;) {
        // With the table full new clients wait in the listen queue; every
        // connection ends within its time-outs, so none waits longer.
        const bool full = workers_.size() >= kMaxConnections;
        for (std::size_t i = 0; i < scales_.size(); ++i) fds[i + 1].events = full ? 0 : POLLIN;
        const int n = ::poll(fds.data(), fds.size(), full ? kFullTablePollMs : 500);
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
    while (workers_.size() < kMaxConnections && net::acceptConnection(scale.listener, connection) == Result::Ok) {
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
    Clock clock(options_);
    unsigned char bytes[wire::kHeaderSize];
    if (const Result r = clock.receiveAll(connection, bytes, sizeof bytes, stopping_); r != Result::Ok) {
        log(scale, r == Result::TimedOut ? "no whole request in time: connection dropped"
                                         : "connection closed before a whole request");
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
        AnswerStream answer(connection, options_, stopping_, clock);
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
                                    ? download(connection, scale, kind->id, clock)
                                    : upload(connection, scale, kind->id, request.length, clock);
    log(scale, name + ": " + outcome);
}

std::string EmulatorServer::download(net::Socket& connection, const Scale& scale, int kindId, Clock& clock) {
    AnswerStream answer(connection, options_, stopping_, clock);
    const fs::path path = scaleFile(scale.folder, kindId);
    std::FILE* file = options_.refusedKinds.count(kindId) ? nullptr : std::fopen(path.c_str(), "rb");
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

std::string EmulatorServer::upload(net::Socket& connection, const Scale& scale, int kindId, std::uint64_t length,
                                   Clock& clock) {
    AnswerStream answer(connection, options_, stopping_, clock);
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
        const Result r = clock.receive(connection, buffer.data(),
                                       static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())), got,
                                       stopping_);
        if (r == Result::TimedOut)
            return "too slow after " + std::to_string(length - left) + " of " + std::to_string(length) +
                   " bytes: connection dropped, nothing stored";
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
    while (net::receiveSome(connection, sink, sizeof sink, got, options_.idleTimeoutMs * 6, &stopping_) == Result::Ok) {
    }
}

void EmulatorServer::log(const Scale& scale, const std::string& line) {
    const std::lock_guard<std::mutex> lock(logMutex_);
    std::printf("%s %s\n", scale.name.c_str(), line.c_str());
    std::fflush(stdout);
}

}  // namespace zalohy::emulator
