// Internet port over WinINet, called as it is: every failure returns the
// thread's last error.
#include "platform/inet.h"

#include <windows.h>
#include <wininet.h>

namespace zun::platform::inet {
namespace {

uint32_t LastErrorOr(BOOL ok) { return ok ? 0 : GetLastError(); }

uint32_t HandleOrError(HINTERNET created, Handle* out) {
    *out = created;
    return created != nullptr ? 0 : GetLastError();
}

}  // namespace

uint32_t Open(const char* agent, uint32_t accessType, const char* proxy, Handle* session) {
    return HandleOrError(InternetOpenA(agent, accessType, proxy, nullptr, 0), session);
}

uint32_t Connect(Handle session, const char* host, uint16_t port, const char* user, const char* password,
                 uint32_t service, Handle* connection) {
    return HandleOrError(InternetConnectA(session, host, port, user, password, service, 0, 0), connection);
}

uint32_t OpenRequest(Handle connection, const char* verb, const char* path, const char* const* acceptTypes,
                     uint32_t flags, Handle* request) {
    return HandleOrError(HttpOpenRequestA(connection, verb, path, nullptr, nullptr,
                                          const_cast<const char**>(acceptTypes), flags, 0),
                         request);
}

// Reads wait for the body in slices of this length, so that a read blocked
// on a silent server notices within one slice that its handle was closed by
// another thread (not every implementation of the API aborts the read).
constexpr DWORD kReadSliceMilliseconds = 250;

// The receive timeout of a request before its reads were sliced, kept by
// handle; read only by the thread that reads the request.
thread_local Handle t_slicedRequest = nullptr;
thread_local DWORD t_receiveTimeout = 0;

uint32_t SendRequest(Handle request, const void* body, uint32_t bodyLength) {
    if (!HttpSendRequestA(request, nullptr, 0, const_cast<void*>(body), bodyLength)) return GetLastError();
    DWORD timeout = 0;
    DWORD size = sizeof timeout;
    if (InternetQueryOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, &size) && timeout > 0) {
        DWORD slice = kReadSliceMilliseconds;
        if (InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &slice, sizeof slice)) {
            t_slicedRequest = request;
            t_receiveTimeout = timeout;
        }
    }
    return 0;
}

uint32_t QueryStatusCode(Handle request, uint32_t* statusCode) {
    DWORD value = 0;
    DWORD size = sizeof value;
    const BOOL ok = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr);
    *statusCode = value;
    return LastErrorOr(ok);
}

uint32_t QueryContentLength(Handle request, char* text, uint32_t textSize) {
    DWORD size = textSize;
    return LastErrorOr(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr));
}

uint32_t ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* got) {
    const DWORD limit = t_slicedRequest == request ? t_receiveTimeout : 0;
    DWORD waited = 0;
    for (;;) {
        DWORD read = 0;
        const BOOL ok = InternetReadFile(request, buffer, size, &read);
        *got = read;
        if (ok) return 0;
        const DWORD error = GetLastError();
        // A slice that timed out is read again, on a handle still open, until
        // the request's own timeout has passed.
        if (error != ERROR_INTERNET_TIMEOUT || waited >= limit) return error;
        waited += kReadSliceMilliseconds;
    }
}

uint32_t CloseHandle(Handle handle) { return LastErrorOr(InternetCloseHandle(handle)); }

uint32_t AttemptConnect() { return InternetAttemptConnect(0); }

void GetConnectedState(uint32_t* flags) {
    DWORD value = 0;
    InternetGetConnectedState(&value, 0);
    *flags = value;
}

bool GoOnline() { return InternetGoOnlineA(nullptr, nullptr, 0) != FALSE; }

uint32_t AuthenticationDialog(Handle request) {
    return InternetErrorDlg(GetDesktopWindow(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
                            FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                            nullptr);
}

uint32_t QuerySecurityFlags(Handle request, uint32_t* flags) {
    DWORD value = 0;
    DWORD size = sizeof value;
    const BOOL ok = InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, &size);
    *flags = value;
    return LastErrorOr(ok);
}

uint32_t SetSecurityFlags(Handle request, uint32_t flags) {
    DWORD value = flags;
    return LastErrorOr(InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof value));
}

void EndBrowserSession(Handle request) { InternetSetOptionA(request, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0); }

uint32_t CrackUrl(const char* url, UrlParts* parts) {
    // Only the host and the path are asked for, so the query stays in the path.
    URL_COMPONENTSA components;
    ZeroMemory(&components, sizeof components);
    components.dwStructSize = sizeof components;
    components.lpszHostName = parts->host;
    components.dwHostNameLength = parts->hostSize;
    components.lpszUrlPath = parts->path;
    components.dwUrlPathLength = parts->pathSize;
    if (!InternetCrackUrlA(url, static_cast<DWORD>(lstrlenA(url)), 0, &components)) return GetLastError();
    parts->scheme = components.nScheme;
    parts->port = components.nPort;
    return 0;
}

}  // namespace zun::platform::inet
