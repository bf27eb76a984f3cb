// The emulator against a client that sends arbitrary bytes, over a socket
// pair (no network): its answer, and the scale's files afterwards, must be
// what the protocol prescribes for that request.
//
// Input: one selector byte (which scale files are missing, fault options),
// then the bytes the client sends before it closes its side.
#include "DataKind.h"
#include "EmulatorServer.h"
#include "FuzzSupport.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

using namespace zalohy;
using namespace zalohy::fuzz;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLargestInput = 64 * 1024;
const char kMalformed[] = "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n";

std::string answerHeader(int kind, int status, std::uint64_t length) {
    std::string bytes = "ZSCP";
    bytes += '\x01';
    bytes += 'A';
    bytes += static_cast<char>(kind);
    bytes += static_cast<char>(status);
    for (int i = 7; i >= 0; --i) bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
    return bytes;
}

std::uint64_t bigEndian64(std::string_view bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::string scaleFile(int id) { return "data/127.0.0.2/" + std::to_string(id) + ".dat"; }
std::string initialContent(int id) { return "file of kind " + std::to_string(id); }

bool setNonBlocking(int fd) { return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;  // the emulator logs every request
    (void)quiet;
    if (size > kLargestInput) return 0;
    enterCleanFolder();
    Input input(data, size);
    const std::uint8_t selector = input.byte();
    const std::string sent(input.rest());

    emulator::EmulatorOptions options;
    options.dataDir = fs::current_path() / "data";
    options.addresses = {0x7F000002};
    options.malformed = selector & 0x40;
    if (selector & 0x80) options.refusedKinds.insert(34);
    emulator::EmulatorServer server(options);
    std::string error;
    require(server.prepare(error), "cannot prepare the scale's folder: " + error);
    std::map<int, std::optional<std::string>> files;
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        const int id = kDataKinds[i].id;
        if (!(selector & (1u << i))) {
            writeBytes(scaleFile(id), initialContent(id));
            files[id] = initialContent(id);
        } else {
            files[id] = std::nullopt;
        }
    }

    int pair[2];
    require(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0, "no socket pair");
    require(setNonBlocking(pair[0]) && setNonBlocking(pair[1]), "cannot make the socket pair non-blocking");
    const int client = pair[1];
    require(::send(client, sent.data(), sent.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(sent.size()),
            "the request does not fit the socket's buffer");
    ::shutdown(client, SHUT_WR);
    server.serveConnection(net::Socket(pair[0]), 0);
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) {
            // Closing with request bytes still unread resets the pair.
            require(n == 0 || errno == ECONNRESET, "the emulator left its end of the connection open");
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(client);

    // What the emulated scale must do with these bytes.
    std::string expected;
    const std::string malformed(kMalformed, sizeof kMalformed - 1);
    const auto answer = [&](int kind, int status, std::uint64_t length, const std::string& payload = {}) {
        expected = options.malformed ? malformed : answerHeader(kind, status, length) + payload;
    };
    if (sent.size() >= 16 && sent.compare(0, 4, "ZSCP") == 0) {
        const int kindByte = static_cast<unsigned char>(sent[6]);
        const DataKind* kind = kindById(kindByte);
        const char type = sent[5];
        if (sent[4] != 1) {
            answer(kindByte, 5, 0);
        } else if ((type != 'D' && type != 'U') || !kind) {
            answer(kindByte, 2, 0);
        } else if (type == 'D') {
            const auto& file = files[kind->id];
            if (!file || options.refusedKinds.count(kind->id)) answer(kind->id, 1, 0);
            else answer(kind->id, 0, file->size(), *file);
        } else {
            const std::uint64_t length = bigEndian64(sent, 8);
            if (length > 0x7FFFFFFDu) {
                answer(kind->id, 4, 0);
            } else if (sent.size() - 16 >= length) {
                if (options.refusedKinds.count(kind->id)) {
                    answer(kind->id, 3, 0);
                } else {
                    answer(kind->id, 0, 0);
                    files[kind->id] = sent.substr(16, static_cast<std::size_t>(length));
                }
            }  // a request cut short gets no answer and changes nothing
        }
    }
    require(received == expected, "the answer is not the one the request calls for");
    for (const auto& [id, content] : files) {
        if (content) require(readBytes(scaleFile(id)) == *content, "scale file " + std::to_string(id) + " is wrong");
        else require(!fs::exists(scaleFile(id)), "scale file " + std::to_string(id) + " appeared");
    }
    for (const auto& entry : fs::directory_iterator("data/127.0.0.2"))
        require(entry.path().extension() == ".dat", "the emulator left " + entry.path().string());
    return 0;
}
