// InetBlock: the engine's HTTP session with one store server host.
//
// A session is opened on a host and proven with a ping request (it is then
// blessed); it then performs GET and POST requests into memory and GET
// downloads into a file, always to the session's own host. Progress, a
// connecting timer and connection errors go to optional callbacks, the last
// of which may ask for a Retry. Operations block the calling thread; another
// thread may call CloseNetwork to abort a transfer under way.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/status.h"
#include "net/host_port.h"
#include "platform/inet.h"

namespace zun {

using InetHandle = platform::inet::Handle;

struct InetCallbacks {
    using ProgressFunction = uint32_t (*)(uint32_t contentLength, uint32_t bytesSoFar, uint32_t percent,
                                          uint32_t done);
    using ReservedFunction = uint32_t (*)();
    using ConnectionErrorFunction = uint32_t (*)(const char* caption, const char* message, uint32_t reserved);
    using ConnectionTimerFunction = uint32_t (*)(uint32_t start, uint32_t reserved);

    ProgressFunction pfnProgress = nullptr;
    ReservedFunction reserved = nullptr;
    ConnectionErrorFunction pfnConnectionError = nullptr;
    ConnectionTimerFunction pfnConnectionTimer = nullptr;
};

// Where a download into a file puts the body, piece by piece.
class DownloadSink {
public:
    // A failure ends the download with it; InetBlock::kReplyTooLarge for a
    // file larger than the sink takes is never retried.
    virtual Status Write(const uint8_t* data, uint32_t size) = 0;
    // Drops what was written: a retried download starts afresh.
    virtual Status Restart() = 0;

protected:
    ~DownloadSink() = default;
};

struct UrlData {
    int nScheme = 0;
    uint16_t nPort = 0;
    char szHostName[256] = {};
    char szUrlPath[512] = {};
};

class InetBlock {
public:
    enum RequestKind : uint32_t { kGetToMemory = 1, kPostToMemory = 2, kGetToFile = 3 };

    // Replies into memory may hold at most this many bytes, whether the
    // server names their length or not; a longer one fails with
    // kReplyTooLarge rather than take whatever memory a server asks for.
    // Store replies are a few kilobytes. Downloads into a file are not
    // limited.
    static constexpr uint32_t kMaxMemoryReply = 64u * 1024 * 1024;
    // ERROR_FILE_TOO_LARGE in the caller's 0x8007xxxx form.
    static constexpr Status kReplyTooLarge = 0x800700DF;
    // A request into memory (the ping, the store queries) must end within
    // this time; a server that drips its reply would otherwise hold the call
    // for as long as it keeps sending. A download into a file has no such
    // limit: it shows its progress and can be cancelled, and fails only when
    // the server stalls.
    static constexpr uint32_t kMemoryRequestTimeLimit = 60000;
    // The length assumed for a reply without Content-Length.
    static constexpr uint32_t kDefaultContentLength = 2048;
    // The largest piece of a download held in memory between the network
    // and the file.
    static constexpr uint32_t kDownloadPieceSize = 256 * 1024;
    // The user's answer to a connection-error report that asks to try again.
    static constexpr uint32_t kRetry = 4;

    InetBlock();
    explicit InetBlock(InetCallbacks callbacks);
    ~InetBlock();
    InetBlock(const InetBlock&) = delete;
    InetBlock& operator=(const InetBlock&) = delete;

    // `host` may carry a port ("name:8080", "[::1]:8080"), which replaces 80
    // or 443; a text that is no host fails with ZUN_E_INVALID_ARG.
    Status OpenNetwork(const char* host, uint32_t secure, uint32_t interactive);
    Status CloseNetwork();
    Status ClearEntireConnectionCache();
    Status ClearRequestSpecificConnectionCache();
    Status ClearSessionSpecificConnectionCache();

    static Status BuildURLData(const char* url, UrlData* data);
    Status InternetOpenURLSafely(const char* url, uint32_t kind, DownloadSink* sink, const void* body,
                                 uint32_t bodyLength, uint8_t** buffer, uint32_t* length);
    Status PageGET(const char* url, uint8_t** buffer, uint32_t* length);
    Status PagePOST(const char* url, const void* body, uint32_t bodyLength, uint8_t** buffer, uint32_t* length);
    Status DownloadFile(const char* url, const char* path);
    Status DownloadFile(const char* url, DownloadSink& sink);
    Status HandleAfterExecErrors(uint32_t error, InetHandle request);

    static Status SimpleGET(const char* url, uint8_t** buffer, uint32_t* length, uint32_t interactive);

    // Replaces kMemoryRequestTimeLimit for the requests that start after it
    // (tests use a short one); 0 restores the default.
    static void SetMemoryRequestTimeLimit(uint32_t milliseconds);

    // Whether the URL names the scheme, host and port the session was opened
    // on: a request is never quietly sent to another server than it names,
    // and fails instead.
    bool NamesSessionServer(const char* url) const;

    bool Blessed() const { return bBlessed.load() != 0; }
    bool Closed() const { return bClosed.load() != 0; }

private:
    uint32_t ReportConnectionError(uint32_t error, const char* caption, const char* reason,
                                   InetCallbacks::ConnectionErrorFunction callback);
    // Reports a failure when the session may, and tells whether to retry.
    bool ReportAndAskRetry(uint32_t error, const char* reason);
    Status OpenNetworkOnce(const char* host, const HostAndPort& address, uint32_t secure, bool* retry);
    Status RequestWithRetry(const char* url, uint32_t kind, const void* body, uint32_t bodyLength,
                            uint8_t** buffer, uint32_t* length);
    Status ReadBody(uint32_t kind, DownloadSink* sink, uint8_t** buffer, uint32_t* length);
    void ConnectionTimer(uint32_t start);
    void CloseHandleOf(std::atomic<InetHandle>& handle, const char* name);
    bool NamesSessionServer(const UrlData& data) const;

    std::atomic<uint32_t> bBlessed{0};
    // The server the session was opened on, as OpenNetwork was given it.
    char szSessionHost[256] = {};
    uint16_t nSessionPort = 0;
    int nSessionScheme = 0;
    uint32_t bInteractive = 0;
    // The connection block, cleared as one by ClearEntireConnectionCache. The
    // handles are shared with a thread that closes the session.
    std::atomic<InetHandle> hRequest{nullptr};
    std::atomic<InetHandle> hConnect{nullptr};
    std::atomic<InetHandle> hOpen{nullptr};
    std::atomic<uint32_t> dwConnectionFlags{0};
    std::atomic<uint32_t> dwAccessType{0};
    // No proxy name is ever given: the system's own settings apply.
    const char szProxy[1] = {};
    InetCallbacks callbacks;
    std::atomic<uint32_t> bClosed{0};
    uint32_t dwSessionID = 0;
};

}  // namespace zun
