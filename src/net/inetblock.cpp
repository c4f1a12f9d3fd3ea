#include "net/inetblock.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "base/map_result.h"
#include "base/file_error.h"
#include "base/trace.h"
#include "base/unique_handle.h"

namespace zun {
namespace {

void CloseFile(std::FILE* file) { std::fclose(file); }

// The download's file, closed on every path that does not close it itself.
using FileOwner = UniqueHandle<std::FILE*, &CloseFile>;

// A download into the file at a path.
class PathSink : public DownloadSink {
public:
    explicit PathSink(const char* path) : _path(path), _file(std::fopen(path, "wb")) {}
    bool Opened() const { return static_cast<bool>(_file); }

    Status Write(const uint8_t* data, uint32_t size) override {
        if (std::fwrite(data, 1, size, _file.Get()) == size) return 0;
        ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): WriteFile(): Failure %d", errno);
        return MapResult(Win32FileError(errno));
    }
    // The stream is closed even when reopening fails.
    Status Restart() override {
        _file.Reset(std::freopen(_path, "wb", _file.Release()));
        return _file ? 0 : MapResult(Win32FileError(errno));
    }
    // Closing writes what is still buffered: its failure fails the download.
    Status Close() { return std::fclose(_file.Release()) == 0 ? 0 : MapResult(Win32FileError(errno)); }

private:
    const char* _path;
    FileOwner _file;
};

namespace inet = platform::inet;

constexpr char kAgent[] = "ZUN";
constexpr char kCaption[] = "Could not connect to network...";
constexpr char kMessageFormat[] = "Orvella Software could not connect to the Orvella servers due to %s (Error 0x%08X).";
constexpr size_t kMessageSize = 256;
constexpr size_t kPingUrlSize = 2048;
const char* const kAcceptTypes[] = {"*/*", nullptr};

// Reload, no cache write, keep-alive, accept redirects between http and
// https, no-cache pragma, async cache. A secure session verifies the
// server's certificate, its dates and its host name: nothing is ignored.
constexpr uint32_t kConnectionFlags = 0x8440C180;
constexpr uint32_t kDefaultPort = 80;
constexpr uint32_t kSecurePort = 443;
constexpr uint32_t kDeviceFailure = 31;
constexpr uint32_t kStatusUnauthorized = 401;
constexpr uint32_t kStatusProxyUnauthorized = 407;
constexpr uint32_t kFirstSuccessStatus = 200;
constexpr uint32_t kLastSuccessStatus = 299;

std::atomic<uint32_t> g_memoryRequestTimeLimit{0};

uint32_t MemoryRequestTimeLimit() {
    const uint32_t limit = g_memoryRequestTimeLimit.load();
    return limit != 0 ? limit : InetBlock::kMemoryRequestTimeLimit;
}

uint32_t TickCount() {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// The Content-Length text as a number: leading blanks, then digits, up to
// the first non-digit; no digits is 0. A negative value or one beyond 32
// bits gives the largest length, which no memory reply accepts.
uint32_t ParseContentLength(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '-') return UINT32_MAX;
    if (*text == '+') ++text;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<uint64_t>(*text - '0');
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

// After a reply without a length has filled the most a reply may hold: 0
// when it ends there, InetBlock::kReplyTooLarge when more follows.
Status ReadPastLimit(InetHandle request) {
    uint8_t probe = 0;
    uint32_t got = 0;
    const uint32_t error = inet::ReadFile(request, &probe, 1, &got);
    if (error != 0) {
        ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): InternetReadFile(): Failure %u", error);
        return ZUN_E_NETWORK;
    }
    if (got == 0) return 0;
    ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): reply without Content-Length goes on past the %u bytes "
              "a reply may hold",
              InetBlock::kMaxMemoryReply);
    return InetBlock::kReplyTooLarge;
}

uint32_t Percent(uint32_t total, uint32_t contentLength) {
    if (contentLength == 0) return 100;
    const double percent = total * 1.0 / contentLength * 100.0;
    return percent >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(percent);
}

}  // namespace

InetBlock::InetBlock() { ZUN_TRACE("ZUN: Prolog InetBlock::InetBlock()"); }

InetBlock::InetBlock(InetCallbacks callbacks) : callbacks(callbacks) {
    ZUN_TRACE("ZUN: Prolog InetBlock::InetBlock(NONDEFAULT)");
    this->callbacks.reserved = nullptr;
}

InetBlock::~InetBlock() {
    ZUN_TRACE("ZUN: Prolog InetBlock::~InetBlock()");
    bBlessed.store(0);
    inet::EndBrowserSession(hRequest.load());
    CloseNetwork();
    ZUN_TRACE("ZUN: Epilog InetBlock::~InetBlock()");
}

void InetBlock::ConnectionTimer(uint32_t start) {
    if (callbacks.pfnConnectionTimer != nullptr) callbacks.pfnConnectionTimer(start, 0);
}

uint32_t InetBlock::ReportConnectionError(uint32_t error, const char* caption, const char* reason,
                                          InetCallbacks::ConnectionErrorFunction callback) {
    ZUN_TRACE("ZUN: Prolog InetBlock::ReportConnectionError()");
    char message[kMessageSize];
    FormatText(message, sizeof message, kMessageFormat, reason, error);
    const uint32_t answer = callback(caption, message, 0);
    ZUN_TRACE("ZUN: Epilog InetBlock::ReportConnectionError(): %u", answer);
    return answer;
}

bool InetBlock::ReportAndAskRetry(uint32_t error, const char* reason) {
    // Nothing is offered once the session is closed: no retry could start.
    if (bClosed.load() != 0 || bInteractive == 0 || callbacks.pfnConnectionError == nullptr) return false;
    return ReportConnectionError(error, kCaption, reason, callbacks.pfnConnectionError) == kRetry;
}

void InetBlock::CloseHandleOf(std::atomic<InetHandle>& handle, const char* name) {
    // Whichever thread takes the handle out of the block closes it.
    const InetHandle open = handle.exchange(nullptr);
    if (open == nullptr) return;
    ZUN_TRACE("ZUN: InetBlock::ClearConnectionCache(): InternetCloseHandle(%s)", name);
    inet::CloseHandle(open);
}

Status InetBlock::ClearEntireConnectionCache() {
    CloseHandleOf(hRequest, "hRequest");
    CloseHandleOf(hConnect, "hConnect");
    CloseHandleOf(hOpen, "hOpen");
    dwConnectionFlags.store(0);
    dwAccessType.store(0);
    return 0;
}

Status InetBlock::ClearRequestSpecificConnectionCache() {
    CloseHandleOf(hRequest, "hRequest");
    return 0;
}

Status InetBlock::ClearSessionSpecificConnectionCache() {
    CloseHandleOf(hConnect, "hConnect");
    CloseHandleOf(hRequest, "hRequest");
    return 0;
}

Status InetBlock::CloseNetwork() {
    ZUN_TRACE("ZUN: Prolog InetBlock::CloseNetwork()");
    bClosed.store(1);
    ClearEntireConnectionCache();
    ZUN_TRACE("ZUN: Epilog InetBlock::CloseNetwork()");
    return 0;
}

Status InetBlock::OpenNetwork(const char* host, uint32_t secure, uint32_t interactive) {
    ZUN_TRACE("ZUN: Prolog InetBlock::OpenNetwork(%s, %u, %u)", host != nullptr ? host : "(null)", secure,
              interactive);
    Status status = ZUN_E_INVALID_ARG;
    bInteractive = interactive;
    HostAndPort address;
    if (host == nullptr || !SplitHostAndPort(host, &address)) {
        ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): \"%s\" is no host name with an optional port",
                  host != nullptr ? host : "(null)");
    } else {
        CopyText(szSessionHost, sizeof szSessionHost, std::string(address.host).c_str());
        const uint32_t schemePort = secure != 0 ? kSecurePort : kDefaultPort;
        nSessionPort = static_cast<uint16_t>(address.port != 0 ? address.port : schemePort);
        nSessionScheme = secure != 0 ? inet::kSchemeHttps : inet::kSchemeHttp;
        bool retry = true;
        while (retry) status = OpenNetworkOnce(host, address, secure, &retry);
    }
    ZUN_TRACE("ZUN: Epilog InetBlock::OpenNetwork(): 0x%08X", status);
    return status;
}

Status InetBlock::OpenNetworkOnce(const char* host, const HostAndPort& address, uint32_t secure, bool* retry) {
    *retry = false;
    dwSessionID = TickCount();
    bBlessed.store(0);
    // A close is for good: a session closed before it opens (the caller
    // gave up while the worker was still starting) never opens.
    if (bClosed.load() != 0) {
        ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): The session was closed.");
        return ZUN_E_SESSION_CLOSED;
    }
    ZUN_TRACE("ZUN: InetBlock::OpenNetwork(): Session ID is %x", dwSessionID);

    if (bInteractive != 0) {
        const uint32_t attempt = inet::AttemptConnect();
        if (attempt != 0) {
            ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): InternetAttemptConnect(): Failure %u", attempt);
            *retry = ReportAndAskRetry(
                attempt, attempt == kDeviceFailure ? "a connection device failure." : "a failed connection attempt.");
            return attempt == kDeviceFailure ? ZUN_E_DEVICE_FAILED : MapResult(attempt);
        }
    }

    uint32_t connectedFlags = 0;
    inet::GetConnectedState(&connectedFlags);
    if (connectedFlags & inet::kConnectionModem) {
        ZUN_TRACE("ZUN: InetBlock::OpenNetwork(): InternetGetConnectedState(): Connection through a modem.");
    }
    if (connectedFlags & inet::kConnectionProxy) {
        ZUN_TRACE("ZUN: InetBlock::OpenNetwork(): InternetGetConnectedState(): Connection through a proxy.");
    }
    if ((connectedFlags & inet::kConnectionOffline) && bInteractive != 0) {
        ZUN_TRACE("ZUN: InetBlock::OpenNetwork(): InternetGetConnectedState(): Reports working offline.");
        if (!inet::GoOnline()) {
            ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): InternetGoOnline(): Failure");
            *retry = ReportAndAskRetry(ZUN_E_OFFLINE, "the network being offline.");
            return ZUN_E_NETWORK;
        }
    }

    ClearEntireConnectionCache();
    dwAccessType.store(0);
    uint32_t flags = kConnectionFlags;
    if (secure != 0) flags |= inet::kFlagSecure;
    dwConnectionFlags.store(flags);
    ZUN_TRACE("ZUN: InetBlock::OpenNetwork(): dwAccessType=%u", dwAccessType.load());
    ZUN_TRACE("ZUN: InetBlock::OpenNetwork(): dwConnectionFlags=%u", flags);

    InetHandle open = nullptr;
    uint32_t error = inet::Open(kAgent, dwAccessType.load(), szProxy, &open);
    hOpen.store(open);
    if (error != 0) {
        ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): InternetOpen(): Failure %u", error);
        ClearEntireConnectionCache();
        *retry = ReportAndAskRetry(error, "the network being closed.");
        return MapResult(error);
    }

    // A port given with the host replaces the scheme's own.
    const std::string hostName(address.host);
    uint32_t port = secure == 1 ? kSecurePort : kDefaultPort;
    if (address.port != 0) port = address.port;
    InetHandle connection = nullptr;
    error = inet::Connect(open, hostName.c_str(), static_cast<uint16_t>(port), "", "", inet::kServiceHttp,
                          &connection);
    hConnect.store(connection);
    if (error != 0) {
        ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): InternetConnect(): Failure %u", error);
        ClearEntireConnectionCache();
        *retry = ReportAndAskRetry(error, "a network connection failure.");
        return MapResult(error);
    }
    if (bClosed.load() != 0) {
        // Closed while the handles were being opened: they may have missed
        // the close.
        ClearEntireConnectionCache();
        return ZUN_E_SESSION_CLOSED;
    }

    char pingUrl[kPingUrlSize];
    FormatText(pingUrl, sizeof pingUrl, "http%s://%s%s", secure != 0 ? "s" : "", host, "/store/ping.aspx");
    bBlessed.store(1);
    uint8_t* reply = nullptr;
    const Status ping = PageGET(pingUrl, &reply, nullptr);
    heap::Release(reply);
    if (ping == 0) return 0;
    // The ping's own failure says why the server cannot be reached (a
    // refused connection, a name not resolved); it is passed on as it is.
    ZUN_TRACE("ZUN_E: InetBlock::OpenNetwork(): ping failed: 0x%08X", ping);
    bBlessed.store(0);
    ClearEntireConnectionCache();
    return ping;
}

Status InetBlock::BuildURLData(const char* url, UrlData* data) {
    if (url == nullptr || data == nullptr) return inet::kErrorInvalidUrl;
    inet::UrlParts parts;
    parts.host = data->szHostName;
    parts.hostSize = sizeof data->szHostName;
    parts.path = data->szUrlPath;
    parts.pathSize = sizeof data->szUrlPath;
    const uint32_t error = inet::CrackUrl(url, &parts);
    if (error != 0) {
        ZUN_TRACE("ZUN_E: InetBlock::BuildURLData(): InternetCrackUrl(): Failure %u", error);
        return error;
    }
    data->nScheme = parts.scheme;
    data->nPort = parts.port;
    return 0;
}

bool InetBlock::NamesSessionServer(const char* url) const {
    UrlData data;
    return BuildURLData(url, &data) == 0 && NamesSessionServer(data);
}

bool InetBlock::NamesSessionServer(const UrlData& data) const {
    // An IPv6 literal is compared without its brackets, host names without
    // regard to case.
    auto bare = [](std::string_view host) {
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
        return host;
    };
    const std::string_view urlHost = bare(data.szHostName);
    const std::string_view sessionHost = bare(szSessionHost);
    // An https URL is never fetched in the clear; an http one may go over a
    // secure session. Each scheme's default port stands for the other's.
    const bool urlSecure = data.nScheme == inet::kSchemeHttps;
    if ((!urlSecure && data.nScheme != inet::kSchemeHttp) || (urlSecure && nSessionScheme != inet::kSchemeHttps)) {
        return false;
    }
    const uint16_t urlDefault = urlSecure ? kSecurePort : kDefaultPort;
    const uint16_t sessionDefault = nSessionScheme == inet::kSchemeHttps ? kSecurePort : kDefaultPort;
    const bool samePort = data.nPort == nSessionPort || (data.nPort == urlDefault && nSessionPort == sessionDefault);
    return samePort && urlHost.size() == sessionHost.size() &&
           std::equal(urlHost.begin(), urlHost.end(), sessionHost.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

Status InetBlock::HandleAfterExecErrors(uint32_t error, InetHandle request) {
    ZUN_TRACE("ZUN: Prolog InetBlock::HandleAfterExecErrors(%u)", error);
    Status result = ZUN_I_NOT_HANDLED;
    if (error == kStatusUnauthorized || error == kStatusProxyUnauthorized) {
        if (bInteractive != 0) {
            result = inet::AuthenticationDialog(request);
            ZUN_TRACE("ZUN: Epilog InetBlock::HandleAfterExecErrors(): InternetErrorDlg(): %u", result);
            return result;
        }
    }
    // A certificate that does not verify (kErrorInvalidCa) is not handled:
    // the request fails, and is never sent again without verification.
    if (result != 0) ZUN_TRACE("ZUN_E: InetBlock::HandleAfterExecErrors(): Error %u", result);
    ZUN_TRACE("ZUN: Epilog InetBlock::HandleAfterExecErrors()");
    return MapResult(result);
}

Status InetBlock::InternetOpenURLSafely(const char* url, uint32_t kind, DownloadSink* sink, const void* body,
                                        uint32_t bodyLength, uint8_t** buffer, uint32_t* length) {
    ZUN_TRACE("ZUN: Prolog InetBlock::InternetOpenURLSafely(%s) Session ID is %x", url != nullptr ? url : "(null)",
              dwSessionID);
    const bool toMemory = kind == kGetToMemory || kind == kPostToMemory;
    if (url == nullptr || (kind == kGetToFile && sink == nullptr) || (!toMemory && kind != kGetToFile) ||
        (toMemory && buffer == nullptr)) {
        return ZUN_E_INVALID_ARG;
    }
    // A failed request hands out no block.
    if (toMemory) *buffer = nullptr;
    if (bClosed.load() != 0) return ZUN_E_SESSION_CLOSED;
    if (bBlessed.load() == 0) {
        ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): Connection not blessed.");
        return ZUN_E_NOT_PINGED;
    }
    for (;;) {
        ClearRequestSpecificConnectionCache();
        UrlData data;
        uint32_t error = BuildURLData(url, &data);
        if (error != 0) return MapResult(error);

        if (!NamesSessionServer(data)) {
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): the URL names another server than the session's "
                      "(%s)",
                      szSessionHost);
            return ZUN_E_INVALID_ARG;
        }
        InetHandle request = nullptr;
        error = inet::OpenRequest(hConnect.load(), kind == kPostToMemory ? "POST" : "GET", data.szUrlPath,
                                  kAcceptTypes, dwConnectionFlags.load(), &request);
        if (error != 0) {
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): HttpOpenRequest(): Failure %u", error);
            return MapResult(error);
        }
        hRequest.store(request);
        if (kind != kGetToFile) {
            error = inet::SetRequestTimeout(request, MemoryRequestTimeLimit());
            if (error != 0) {
                ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): InternetSetOption(timeout): Failure %u", error);
                return MapResult(error);
            }
        }
        if (bClosed.load() != 0) {
            // Closed while the request was being opened: its handle may have
            // missed the close.
            ClearRequestSpecificConnectionCache();
            return ZUN_E_NETWORK;
        }

        for (;;) {
            ConnectionTimer(1);
            error = inet::SendRequest(request, body, bodyLength);
            if (error == 0) {
                ConnectionTimer(0);
                break;
            }
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): HttpSendRequest(): Failure %u", error);
            if (HandleAfterExecErrors(error, request) == 0) {
                ConnectionTimer(0);
                continue;
            }
            ClearRequestSpecificConnectionCache();
            ConnectionTimer(0);
            return MapResult(error);
        }

        uint32_t statusCode = 0;
        error = inet::QueryStatusCode(request, &statusCode);
        if (error != 0) {
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): HttpQueryInfo(): Failure %u", error);
            return MapResult(error);
        }
        ZUN_TRACE("ZUN: InetBlock::InternetOpenURLSafely(): HTTP status %u", statusCode);
        if (statusCode == kStatusUnauthorized || statusCode == kStatusProxyUnauthorized) {
            const Status handled = HandleAfterExecErrors(statusCode, request);
            if (handled == ZUN_I_NOT_HANDLED) return ZUN_E_AUTH_NOT_ALLOWED;
            if (handled == inet::kErrorForceRetry) continue;
            return ZUN_E_NETWORK;
        }
        if (kind == kGetToFile && (statusCode < kFirstSuccessStatus || statusCode > kLastSuccessStatus)) {
            // An error page is not the file asked for. Memory replies keep
            // their body: their readers reject what is not theirs.
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): download refused: HTTP status %u", statusCode);
            ClearRequestSpecificConnectionCache();
            return ZUN_E_NETWORK;
        }
        return ReadBody(kind, sink, buffer, length);
    }
}

Status InetBlock::ReadBody(uint32_t kind, DownloadSink* sink, uint8_t** buffer, uint32_t* length) {
    const bool toMemory = kind != kGetToFile;
    char lengthText[32] = {};
    uint32_t contentLength = kDefaultContentLength;
    const bool found = inet::QueryContentLength(hRequest.load(), lengthText, sizeof lengthText) == 0;
    if (found) contentLength = ParseContentLength(lengthText);
    if (toMemory && contentLength > kMaxMemoryReply) {
        ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): Content-Length %.*s is more than the %u bytes a reply "
                  "may hold",
                  static_cast<int>(sizeof lengthText), lengthText, kMaxMemoryReply);
        ClearRequestSpecificConnectionCache();
        return kReplyTooLarge;
    }

    // A memory reply keeps one zero byte after its data, not counted in its
    // length, so that it can be read as text.
    uint32_t size =
        toMemory ? contentLength : (found && contentLength < kDownloadPieceSize ? contentLength : kDownloadPieceSize);
    heap::Block data(static_cast<uint8_t*>(heap::Allocate(size_t{size} + 1)));
    if (!data) {
        ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): HeapAlloc(): Failure %u", size);
        return ZUN_E_OUT_OF_MEMORY;
    }

    ConnectionTimer(1);
    Status status = 0;
    uint32_t filled = 0;
    uint32_t total = 0;
    uint64_t received = 0;
    for (;;) {
        const InetHandle request = hRequest.load();
        if (request == nullptr) {
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): HttpRequest handle is closed.");
            status = ZUN_E_NETWORK;
            break;
        }
        uint32_t got = 0;
        const uint32_t error = inet::ReadFile(request, data.Get() + filled, size - filled, &got);
        if (error != 0) {
            // A failed read ends the transfer; reading again could go on forever.
            ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): InternetReadFile(): Failure %u", error);
            status = ZUN_E_NETWORK;
            break;
        }
        if (got == 0) break;
        filled += got;
        received += got;
        if (callbacks.pfnProgress != nullptr) {
            total += got;
            callbacks.pfnProgress(contentLength, total, Percent(total, contentLength), 0);
        }
        if (toMemory && filled == size && !found) {
            if (size == kMaxMemoryReply) {
                // Full to the limit: the reply may end right here, or it is
                // longer than any reply may be.
                status = ReadPastLimit(request);
                break;
            }
            const uint32_t grownSize = size <= kMaxMemoryReply / 5 ? size * 5 : kMaxMemoryReply;
            auto* grown = static_cast<uint8_t*>(heap::Resize(data.Get(), size_t{size} + 1, size_t{grownSize} + 1));
            if (grown == nullptr) {
                ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): HeapReAlloc(): Failure %u", grownSize);
                status = ZUN_E_OUT_OF_MEMORY;
                break;
            }
            // The resize has released the old block.
            data.Release();
            data.Reset(grown);
            size = grownSize;
            ZUN_TRACE("ZUN: InetBlock::InternetOpenURLSafely(): buffer grown to %u bytes", size);
        }
        if (!toMemory) {
            status = sink->Write(data.Get(), got);
            if (status != 0) break;
            filled = 0;
        }
    }
    if (status == 0 && found && received < contentLength) {
        // The connection ended before the announced length: the body is cut.
        ZUN_TRACE("ZUN_E: InetBlock::InternetOpenURLSafely(): reply ended after %llu of %u bytes",
                  static_cast<unsigned long long>(received), contentLength);
        status = ZUN_E_NETWORK;
    }
    if (status == 0) {
        if (callbacks.pfnProgress != nullptr) callbacks.pfnProgress(contentLength, contentLength, 100, 1);
        if (length != nullptr) *length = filled;
        // Only a complete reply is handed out.
        if (toMemory) *buffer = data.Release();
    }
    ConnectionTimer(0);
    return status;
}

void InetBlock::SetMemoryRequestTimeLimit(uint32_t milliseconds) { g_memoryRequestTimeLimit.store(milliseconds); }

Status InetBlock::RequestWithRetry(const char* url, uint32_t kind, const void* body, uint32_t bodyLength,
                                   uint8_t** buffer, uint32_t* length) {
    for (;;) {
        const Status status = InternetOpenURLSafely(url, kind, nullptr, body, bodyLength, buffer, length);
        if (status == 0) return 0;
        if (bClosed.load() != 0) return ZUN_E_SESSION_CLOSED;
        if (!ReportAndAskRetry(status, "a failed network request.")) return status;
    }
}

Status InetBlock::PageGET(const char* url, uint8_t** buffer, uint32_t* length) {
    ZUN_TRACE("ZUN: Prolog InetBlock::PageGET()");
    const Status status = RequestWithRetry(url, kGetToMemory, nullptr, 0, buffer, length);
    ZUN_TRACE("ZUN: Epilog InetBlock::PageGET(): 0x%08X", status);
    return status;
}

Status InetBlock::PagePOST(const char* url, const void* body, uint32_t bodyLength, uint8_t** buffer,
                           uint32_t* length) {
    ZUN_TRACE("ZUN: Prolog InetBlock::PagePOST()");
    const Status status = RequestWithRetry(url, kPostToMemory, body, bodyLength, buffer, length);
    ZUN_TRACE("ZUN: Epilog InetBlock::PagePOST(): 0x%08X", status);
    return status;
}

Status InetBlock::DownloadFile(const char* url, const char* path) {
    ZUN_TRACE("ZUN: Prolog InetBlock::DownloadFile(%s)", path != nullptr ? path : "(null)");
    if (path == nullptr) return ZUN_E_INVALID_ARG;
    PathSink file(path);
    if (!file.Opened()) {
        ZUN_TRACE("ZUN_E: InetBlock::DownloadFile(): CreateFile(): Failure %d", errno);
        return MapResult(Win32FileError(errno));
    }
    Status status = DownloadFile(url, file);
    const Status closed = file.Close();
    if (status == 0) status = closed;
    ZUN_TRACE("ZUN: Epilog InetBlock::DownloadFile(): 0x%08X", status);
    return status;
}

Status InetBlock::DownloadFile(const char* url, DownloadSink& sink) {
    Status status;
    for (;;) {
        status = InternetOpenURLSafely(url, kGetToFile, &sink, nullptr, 0, nullptr, nullptr);
        // A file larger than the sink takes stays so when fetched again.
        if (status == 0 || status == kReplyTooLarge) break;
        if (bClosed.load() != 0 || !ReportAndAskRetry(status, "a failed network request.")) {
            if (bClosed.load() != 0) status = ZUN_E_SESSION_CLOSED;
            break;
        }
        // A retry starts the file afresh, so that it holds only the new body.
        status = sink.Restart();
        if (status != 0) break;
    }
    return status;
}

Status InetBlock::SimpleGET(const char* url, uint8_t** buffer, uint32_t* length, uint32_t interactive) {
    ZUN_TRACE("ZUN: Prolog InetBlock::SimpleGET()");
    InetBlock block;
    UrlData data;
    Status status = BuildURLData(url, &data);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: InetBlock::SimpleGET(): Error building URL data.");
        return MapResult(status);
    }
    // A port other than the two defaults stays with the host.
    char host[sizeof data.szHostName + 8];
    if (data.nPort != kDefaultPort && data.nPort != kSecurePort) {
        FormatText(host, sizeof host, "%s:%u", data.szHostName, unsigned{data.nPort});
    } else {
        CopyText(host, data.szHostName);
    }
    status = block.OpenNetwork(host, data.nPort == kSecurePort ? 1 : 0, interactive);
    if (status == 0) status = block.PageGET(url, buffer, length);
    ZUN_TRACE("ZUN: Epilog InetBlock::SimpleGET(): 0x%08X", status);
    return MapResult(status);
}

}  // namespace zun
