#include "EmulatorOptions.h"

#include "DataKind.h"
#include "Net.h"
#include "ScaleStatus.h"

#include <charconv>
#include <string_view>

namespace zalohy::emulator {
namespace {

template <typename Number>
bool parseNumber(std::string_view text, Number& out) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

// A kind by member id ("34") or by any of its command words ("F74", "f34").
int kindIdOf(std::string_view text) {
    int id = 0;
    if (parseNumber(text, id)) return kindById(id) ? id : 0;
    const DataKind* kind = kindByWord(text);
    return kind ? kind->id : 0;
}

}  // namespace

const char* usageText() {
    return "usage: scale-emulator --data DIR --listen ADDR[:PORT] [--listen ADDR[:PORT] ...] [options]\n"
           "  --data DIR              folder holding DIR/<address>/34.dat ... 67.dat per scale\n"
           "  --listen ADDR[:PORT]    serve one emulated scale on this IPv4 address; every address\n"
           "                          shares one port (default 40174; 0 picks a free one)\n"
           "  --seed                  fill each scale's missing files with demo data\n"
           "  --allow-non-loopback    allow addresses outside 127.0.0.0/8\n"
           "fault injection:\n"
           "  --refuse KIND           answer downloads of KIND (34 or F74 ...) with \"no such file\"\n"
           "                          and refuse to store uploads of it\n"
           "  --delay MS              wait MS milliseconds before every answer\n"
           "  --drop-after N          close the connection after N bytes of an answer\n"
           "  --malformed             answer with bytes that are not our protocol\n"
           "  --stall                 accept and read requests but never answer\n";
}

ParseOutcome parseOptions(int argc, const char* const* argv, EmulatorOptions& options, std::string& error) {
    std::optional<std::uint16_t> port;
    std::vector<std::string> listenTexts;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        auto value = [&](std::string_view& out) {
            if (i + 1 >= argc) {
                error = std::string(option) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string_view text;
        if (option == "--help" || option == "-h") return ParseOutcome::Help;
        if (option == "--seed") {
            options.seed = true;
        } else if (option == "--allow-non-loopback") {
            options.allowNonLoopback = true;
        } else if (option == "--malformed") {
            options.malformed = true;
        } else if (option == "--stall") {
            options.stall = true;
        } else if (option == "--data") {
            if (!value(text)) return ParseOutcome::Error;
            options.dataDir = std::filesystem::path(std::string(text));
        } else if (option == "--listen") {
            if (!value(text)) return ParseOutcome::Error;
            listenTexts.emplace_back(text);
        } else if (option == "--refuse") {
            if (!value(text)) return ParseOutcome::Error;
            const int id = kindIdOf(text);
            if (id == 0) {
                error = "unknown kind " + std::string(text);
                return ParseOutcome::Error;
            }
            options.refusedKinds.insert(id);
        } else if (option == "--delay") {
            if (!value(text)) return ParseOutcome::Error;
            if (!parseNumber(text, options.delayMs) || options.delayMs < 0) {
                error = "bad --delay " + std::string(text);
                return ParseOutcome::Error;
            }
        } else if (option == "--drop-after") {
            if (!value(text)) return ParseOutcome::Error;
            std::uint64_t bytes = 0;
            if (!parseNumber(text, bytes)) {
                error = "bad --drop-after " + std::string(text);
                return ParseOutcome::Error;
            }
            options.dropAfter = bytes;
        } else {
            error = "unknown option " + std::string(option);
            return ParseOutcome::Error;
        }
    }
    if (options.dataDir.empty() || listenTexts.empty()) {
        error = "--data and at least one --listen are required";
        return ParseOutcome::Error;
    }
    for (const std::string& listen : listenTexts) {
        const std::size_t colon = listen.find(':');
        const std::string host = listen.substr(0, colon);
        std::uint32_t address = 0;
        if (!net::parseIPv4(host, address)) {
            error = "not an IPv4 address: " + host;
            return ParseOutcome::Error;
        }
        if (!net::isLoopback(address) && !options.allowNonLoopback) {
            error = "refusing to listen on " + host +
                    ": not a loopback address (127.0.0.0/8); pass --allow-non-loopback to allow it";
            return ParseOutcome::Error;
        }
        if (colon != std::string::npos) {
            std::uint16_t given = 0;
            if (!parseNumber(std::string_view(listen).substr(colon + 1), given)) {
                error = "bad port in " + listen;
                return ParseOutcome::Error;
            }
            if (port && *port != given) {
                error = "every --listen address must use the same port";
                return ParseOutcome::Error;
            }
            port = given;
        }
        for (std::uint32_t known : options.addresses)
            if (known == address) {
                error = "address given twice: " + host;
                return ParseOutcome::Error;
            }
        options.addresses.push_back(address);
    }
    options.port = port.value_or(scalelib::kDefaultPort);
    return ParseOutcome::Run;
}

}  // namespace zalohy::emulator
