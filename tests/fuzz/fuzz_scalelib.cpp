// The scale library against a scale that answers with arbitrary bytes: a
// server thread on 127.0.0.1 (loopback only) takes the library's request and
// sends the input back as its answer, then closes. The status must be the one
// the protocol prescribes for those bytes, "error" must hold it, and only a
// download with status 0 may leave a file: the answer's payload and "E2".
//
// Input: one selector byte (kind, upload or download, what is planted under
// the temporary name), then the answer's bytes.
#include "DataKind.h"
#include "FuzzSupport.h"
#include "Net.h"
#include "ScaleStatus.h"
#include "Wire.h"

#include <thread>

#include <sys/socket.h>

extern "C" int twswtcp_entry(int argc, char** argv);

using namespace zalohy;
using namespace zalohy::fuzz;
using namespace zalohy::scalelib;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 5000;

std::uint64_t bigEndian64(const std::string& bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct Expected {
    int status;
    std::string payload;
};

// The status the protocol gives the answer `bytes` to a request for `kind`.
Expected expectedOutcome(const std::string& bytes, int kind, bool upload) {
    if (bytes.size() < 16) return {kConnectionLost, {}};
    if (bytes.compare(0, 4, "ZSCP") != 0 || bytes[4] != 1 || bytes[5] != 'A' ||
        static_cast<unsigned char>(bytes[6]) != kind)
        return {kProtocolError, {}};
    switch (static_cast<unsigned char>(bytes[7])) {
    case 0: break;
    case 1: return {kNoSuchFile, {}};
    case 5: return {kProtocolError, {}};
    default: return {kScaleRefused, {}};
    }
    const std::uint64_t length = bigEndian64(bytes, 8);
    if (length > 0x7FFFFFFDu) return {kProtocolError, {}};
    if (upload) return {kOk, {}};
    if (bytes.size() - 16 < length) return {kConnectionLost, {}};
    return {kOk, bytes.substr(16, static_cast<std::size_t>(length))};
}

// The emulated scale's side of one exchange.
void answerOnce(net::Socket& listener, const std::string& answer) {
    net::Socket connection;
    if (net::waitReadable(listener, kWaitMs) != net::Result::Ok ||
        net::acceptConnection(listener, connection) != net::Result::Ok)
        violated("the library never connected");
    unsigned char header[wire::kHeaderSize];
    if (net::receiveAll(connection, header, sizeof header, kWaitMs) != net::Result::Ok)
        violated("the library sent no whole request");
    wire::Header request;
    if (wire::decodeHeader(header, request) != wire::DecodeResult::Ok) violated("the library sent a bad request");
    std::string payload(static_cast<std::size_t>(request.length), '\0');
    if (!payload.empty() && net::receiveAll(connection, payload.data(), payload.size(), kWaitMs) != net::Result::Ok)
        violated("the library sent less than it announced");
    if (!answer.empty() && net::sendAll(connection, answer.data(), answer.size(), kWaitMs) != net::Result::Ok)
        return;  // the library may stop reading once it has seen enough
    ::shutdown(connection.native(), SHUT_WR);
    // Until the library closes its end, so nothing it has not read is reset.
    char sink[256];
    std::size_t got = 0;
    while (net::receiveSome(connection, sink, sizeof sink, got, kWaitMs) == net::Result::Ok) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static net::Socket listener;
    static std::string address;
    if (!listener.valid()) {
        std::uint32_t loopback = 0;
        net::parseIPv4("127.0.0.1", loopback);
        if (net::listenTcp(loopback, 0, listener) != net::Result::Ok) violated("cannot listen on 127.0.0.1");
        address = "127.0.0.1:" + std::to_string(net::localPort(listener));
    }
    enterCleanFolder();
    Input input(data, size);
    const std::uint8_t selector = input.byte();
    const std::string answer(input.rest());
    const DataKind& kind = kDataKinds[(selector & 7) % kDataKinds.size()];
    const bool upload = selector & 8;

    std::set<std::string> names{"error"};
    const std::string downloaded = scaleFileName(address, kind.downloadedSuffix);
    const std::string toUpload = scaleFileName(address, kind.uploadSuffix);
    const std::string uploadBytes = "bytes to send";
    if (upload) {
        writeBytes(toUpload, uploadBytes);
        names.insert(toUpload);
    }
    // A link planted under the download's temporary name must not be written
    // through; a temporary file a killed call left must go.
    const std::string victim = "must stay as it is";
    if (upload) {
        // An upload has no temporary file.
    } else if (selector & 0x10) {
        writeBytes("victim.dat", victim);
        fs::create_symlink("victim.dat", downloaded + ".part");
        names.insert("victim.dat");
    } else if (selector & 0x20) {
        writeBytes(downloaded + ".part", "left by a killed call");
    }

    std::thread scale(answerOnce, std::ref(listener), std::cref(answer));
    std::string word = upload ? kind.uploadWord : kind.downloadWord;
    std::string program = "twswtcp";
    char* argv[] = {program.data(), word.data(), address.data()};
    const int status = twswtcp_entry(3, argv);
    scale.join();

    const Expected expected = expectedOutcome(answer, kind.id, upload);
    require(status == expected.status,
            "status " + std::to_string(status) + " where " + std::to_string(expected.status) + " was due");
    require(readBytes("error") == std::to_string(status) + "\n", "\"error\" does not hold the status");
    if (upload) require(readBytes(toUpload) == uploadBytes, "the upload changed the file it sent");
    if (!upload && status == kOk) {
        names.insert(downloaded);
        require(readBytes(downloaded) == expected.payload + "E2", "the download is not the payload and \"E2\"");
    }
    if (!upload && (selector & 0x10))
        require(readBytes("victim.dat") == victim, "the download wrote through a planted link");
    require(folderNames() == names, "the call left files other than its result");
    return 0;
}
