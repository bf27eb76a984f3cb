#include "EmulatorOptions.h"

#include "DataKind.h"
#include "Net.h"
#include "ScaleStatus.h"

#include <getopt.h>

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

// What is wrong with the option getopt_long has just refused.
std::string optionProblem(int code, char* const* argv, const option* table) {
    std::string given = argv[optind - 1];
    if (given.rfind("--", 0) == 0) given = given.substr(0, given.find('='));
    if (code == ':') return "option " + given + " needs a value";
    for (const option* o = table; optopt != 0 && o->name; ++o)
        if (o->val == optopt && o->has_arg == no_argument) return "option --" + std::string(o->name) + " takes no value";
    return "unknown option " + (optopt != 0 ? "-" + std::string(1, static_cast<char>(optopt)) : given);
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
           "  --stall                 accept and read requests but never answer\n"
           "client limits:\n"
           "  --idle-timeout MS       drop a client when nothing moves for MS milliseconds, and\n"
           "                          when it falls behind --min-rate beyond that (default 10000);\n"
           "                          a full connection table makes a new client wait no longer\n"
           "  --min-rate BYTES        the least a client must move per second (default 1024)\n"
           "other options:\n"
           "  -h, --help              show this help and exit\n"
           "  -V, --version           show the version and exit\n"
           "Every option also takes its value as --option=VALUE.\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 failed, 2 wrong command line.\n";
}

ParseOutcome parseOptions(int argc, char* const* argv, EmulatorOptions& options, std::string& error) {
    enum : int { kData = 256, kListen, kSeed, kAllowNonLoopback, kRefuse, kDelay, kDropAfter, kMalformed, kStall, kIdleTimeout, kMinRate };
    static const option table[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {"data", required_argument, nullptr, kData},
        {"listen", required_argument, nullptr, kListen},
        {"seed", no_argument, nullptr, kSeed},
        {"allow-non-loopback", no_argument, nullptr, kAllowNonLoopback},
        {"refuse", required_argument, nullptr, kRefuse},
        {"delay", required_argument, nullptr, kDelay},
        {"drop-after", required_argument, nullptr, kDropAfter},
        {"malformed", no_argument, nullptr, kMalformed},
        {"stall", no_argument, nullptr, kStall},
        {"idle-timeout", required_argument, nullptr, kIdleTimeout},
        {"min-rate", required_argument, nullptr, kMinRate},
        {nullptr, 0, nullptr, 0},
    };
    std::optional<std::uint16_t> port;
    std::vector<std::string> listenTexts;
    optind = 0;  // start afresh, whatever parsed before
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, ":hV", table, nullptr)) != -1;) {
        const std::string_view text = optarg ? optarg : "";
        switch (code) {
        case 'h': return ParseOutcome::Help;
        case 'V': return ParseOutcome::Version;
        case kSeed: options.seed = true; break;
        case kAllowNonLoopback: options.allowNonLoopback = true; break;
        case kMalformed: options.malformed = true; break;
        case kStall: options.stall = true; break;
        case kData: options.dataDir = std::filesystem::path(std::string(text)); break;
        case kListen: listenTexts.emplace_back(text); break;
        case kRefuse: {
            const int id = kindIdOf(text);
            if (id == 0) {
                error = "unknown kind " + std::string(text);
                return ParseOutcome::Error;
            }
            options.refusedKinds.insert(id);
            break;
        }
        case kDelay:
            if (!parseNumber(text, options.delayMs) || options.delayMs < 0) {
                error = "bad --delay " + std::string(text);
                return ParseOutcome::Error;
            }
            break;
        case kIdleTimeout:
            if (!parseNumber(text, options.idleTimeoutMs) || options.idleTimeoutMs < 1) {
                error = "bad --idle-timeout " + std::string(text);
                return ParseOutcome::Error;
            }
            break;
        case kMinRate:
            if (!parseNumber(text, options.minRate) || options.minRate < 1) {
                error = "bad --min-rate " + std::string(text);
                return ParseOutcome::Error;
            }
            break;
        case kDropAfter: {
            std::uint64_t bytes = 0;
            if (!parseNumber(text, bytes)) {
                error = "bad --drop-after " + std::string(text);
                return ParseOutcome::Error;
            }
            options.dropAfter = bytes;
            break;
        }
        default:
            error = optionProblem(code, argv, table);
            return ParseOutcome::Error;
        }
    }
    if (optind < argc) {
        error = "unexpected operand " + std::string(argv[optind]);
        return ParseOutcome::Error;
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
