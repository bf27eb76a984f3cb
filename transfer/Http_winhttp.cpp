// The HTTP client on Windows: WinHTTP, part of the system.
#include "Http.h"

#include <windows.h>
#include <winhttp.h>

namespace zalohy::http {

namespace {

std::wstring wideOf(std::string_view utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(n > 0 ? static_cast<std::size_t>(n) : 0u, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// Closes a WinHTTP handle at the end of its scope.
struct Handle {
    HINTERNET h = nullptr;
    explicit Handle(HINTERNET handle) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h) WinHttpCloseHandle(h);
    }
};

Failure failureOf(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return Failure::Address;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return Failure::Resolve;
    // Wine hands on the socket's own error for these two.
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED: return Failure::Connect;
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT: return Failure::Timeout;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return Failure::Tls;
    default: return Failure::Other;
    }
}

// The failure of the WinHTTP call that has just failed, with WinHTTP's own text.
Answer failed() {
    const DWORD code = GetLastError();
    Answer answer;
    answer.failure = failureOf(code);
    answer.detail = "WinHTTP " + std::to_string(code);
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                       FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   nullptr);
    if (n > 0) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
        if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), utf8.data(), size, nullptr, nullptr);
        while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == ' ')) utf8.pop_back();
        if (!utf8.empty()) answer.detail += ": " + utf8;
    }
    if (text) LocalFree(text);
    return answer;
}

}  // namespace

Answer post(const std::string& url, std::string_view body, std::string_view contentType,
            std::chrono::milliseconds timeout) {
    const std::wstring wide = wideOf(url);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || parts.dwHostNameLength == 0)
        return {Failure::Address, 0, "WinHTTP cannot use this URL"};
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (const std::size_t fragment = path.find(L'#'); fragment != std::wstring::npos) path.erase(fragment);
    if (path.empty()) path = L"/";

    // The proxy of the system's settings is never asked.
    const Handle session(WinHttpOpen(L"zaltool", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.h) return failed();
    const int ms = static_cast<int>(timeout.count());
    if (!WinHttpSetTimeouts(session.h, ms, ms, ms, ms)) return failed();
    const Handle connection(WinHttpConnect(session.h, host.c_str(), parts.nPort, 0));
    if (!connection.h) return failed();
    const Handle request(WinHttpOpenRequest(connection.h, L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request.h) return failed();
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.h, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    // The wait for the answer's headers has a limit of its own (Wine's is
    // none): a server that takes the request and never answers.
    DWORD answerWait = static_cast<DWORD>(ms);
    if (!WinHttpSetOption(request.h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerWait, sizeof answerWait))
        return failed();
    const std::wstring headers = L"Content-Type: " + wideOf(contentType) + L"\r\n";
    const DWORD size = static_cast<DWORD>(body.size());
    if (!WinHttpSendRequest(request.h, headers.c_str(), static_cast<DWORD>(headers.size()),
                            const_cast<char*>(body.data()), size, size, 0) ||
        !WinHttpReceiveResponse(request.h, nullptr))
        return failed();
    DWORD status = 0, statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return failed();
    return {Failure::None, static_cast<int>(status), ""};
}

}  // namespace zalohy::http
