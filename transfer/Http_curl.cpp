// The HTTP client on Linux: libcurl.
#include "Http.h"

#include <curl/curl.h>

namespace zalohy::http {

namespace {

// The answer's body is not wanted.
std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

Failure failureOf(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT: return Failure::Address;
    case CURLE_COULDNT_RESOLVE_HOST: return Failure::Resolve;
    case CURLE_COULDNT_CONNECT: return Failure::Connect;
    case CURLE_OPERATION_TIMEDOUT: return Failure::Timeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE: return Failure::Tls;
    default: return Failure::Other;
    }
}

}  // namespace

Answer post(const std::string& url, std::string_view body, std::string_view contentType,
            std::chrono::milliseconds timeout) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    CURL* curl = initialised ? curl_easy_init() : nullptr;
    if (!curl) return {Failure::Other, 0, "libcurl nelze spustit"};
    const std::string type = "Content-Type: " + std::string(contentType);
    curl_slist* headers = curl_slist_append(nullptr, type.c_str());
    headers = curl_slist_append(headers, "Expect:");  // no "100-continue" round trip
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // never the environment's proxy
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const CURLcode code = curl_easy_perform(curl);
    Answer answer;
    if (code == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        answer.status = static_cast<int>(status);
    } else {
        answer.failure = failureOf(code);
        answer.detail = error[0] ? error : curl_easy_strerror(code);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return answer;
}

}  // namespace zalohy::http
