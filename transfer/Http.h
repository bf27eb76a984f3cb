// One HTTP POST through the system's own client: libcurl on Linux
// (Http_curl.cpp), WinHTTP on Windows (Http_winhttp.cpp); the build takes one.
// Used by zaltool's --ping, which tells a monitoring service how a night went.
// The connection is always direct (no proxy from the environment or the
// system's settings) and redirects are not followed: the request goes to the
// address given and nowhere else.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zalohy::http {

// Why a request got no answer.
enum class Failure {
    None,     // an answer came (any status)
    Address,  // the URL is not one the client takes
    Resolve,  // the host's name cannot be resolved
    Connect,  // no connection (refused, unreachable)
    Timeout,  // no answer in time
    Tls,      // the secure connection failed (certificate, handshake)
    Other,    // anything else the client reports
};

struct Answer {
    Failure failure = Failure::None;
    int status = 0;      // the HTTP status when an answer came
    std::string detail;  // the client's own words on a failure (may be English)
};

// POSTs `body` to `url` (http:// or https://) and waits for the answer's
// status; `timeout` bounds the whole request.
Answer post(const std::string& url, std::string_view body, std::string_view contentType,
            std::chrono::milliseconds timeout);

}  // namespace zalohy::http
