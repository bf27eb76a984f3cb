#include "Ping.h"

#include "Http.h"

#include <cctype>
#include <thread>

namespace zalohy {

namespace {

bool startsWithNoCase(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

std::string reasonOf(const http::Answer& answer, const PingTries& tries) {
    const std::string detail = answer.detail.empty() ? "" : " (" + answer.detail + ")";
    switch (answer.failure) {
    case http::Failure::None: return "server odpověděl stavem " + std::to_string(answer.status);
    case http::Failure::Address: return "adresu nelze použít" + detail;
    case http::Failure::Resolve: return "název serveru nelze přeložit" + detail;
    case http::Failure::Connect: return "spojení nelze navázat" + detail;
    case http::Failure::Timeout:
        return "bez odpovědi do " + std::to_string((tries.timeout.count() + 999) / 1000) + " s";
    case http::Failure::Tls: return "zabezpečené spojení selhalo" + detail;
    case http::Failure::Other: break;
    }
    return "chyba spojení" + detail;
}

}  // namespace

std::optional<std::string> pingOption(const Call& call) {
    const std::optional<std::string> url = call.value("ping");
    if (!url) return std::nullopt;
    const std::size_t scheme = startsWithNoCase(*url, "http://") ? 7 : startsWithNoCase(*url, "https://") ? 8 : 0;
    bool printable = url->size() <= 2000;
    for (const char c : *url)
        printable = printable && c > ' ' && c < 0x7f && c != '"' && c != '\\';
    if (scheme == 0 || !printable || url->find_first_of("/?#", scheme) == scheme || url->size() == scheme)
        throw UsageError{"--ping chce adresu http:// nebo https:// s hostitelem (tisknutelné znaky ASCII, bez mezer)"};
    return url;
}

std::string failUrl(const std::string& url) {
    const std::size_t scheme = url.find("://");
    const std::size_t query = url.find_first_of("?#", scheme == std::string::npos ? 0 : scheme + 3);
    std::string path = url.substr(0, query);
    path += path.ends_with('/') && path.find('/', scheme + 3) != std::string::npos ? "fail" : "/fail";
    return query == std::string::npos ? path : path + url.substr(query);
}

bool sendPing(const std::string& url, bool done, const std::string& summary, JobOutput& out,
              const PingTries& tries) {
    const std::string target = done ? url : failUrl(url);
    http::Answer answer;
    for (int i = 0; i < tries.tries; ++i) {
        if (i > 0) std::this_thread::sleep_for(tries.pause * i);
        answer = http::post(target, summary, "application/json", tries.timeout);
        if (answer.failure == http::Failure::None && answer.status >= 200 && answer.status < 300) return true;
        if (answer.failure == http::Failure::Address) break;
    }
    complain("oznámení o běhu na " + target + " se nepodařilo doručit: " + reasonOf(answer, tries), out);
    return false;
}

}  // namespace zalohy
