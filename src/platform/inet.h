// Internet port: the HTTP client calls the engine's session is built on.
//
// The calls keep the shape of the Windows internet API: a session handle, a
// connection handle to one host, request handles; a request is sent, then its
// status code and Content-Length are queried, then its body is pulled with
// reads of the caller's size. Every call returns 0 or an error number of that
// API (kError* below, or a system error such as 6 for a handle that is no
// longer open). Handles may be closed from another thread while a call on
// them blocks: the blocked call then returns promptly with an error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zun::platform::inet {

using Handle = void*;

// Error numbers the engine meets.
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorCancelled = 1223;
inline constexpr uint32_t kErrorTimeout = 12002;
inline constexpr uint32_t kErrorInternal = 12004;
inline constexpr uint32_t kErrorInvalidUrl = 12005;
inline constexpr uint32_t kErrorUnrecognizedScheme = 12006;
inline constexpr uint32_t kErrorNameNotResolved = 12007;
inline constexpr uint32_t kErrorOperationCancelled = 12017;
inline constexpr uint32_t kErrorCannotConnect = 12029;
inline constexpr uint32_t kErrorConnectionAborted = 12030;
inline constexpr uint32_t kErrorForceRetry = 12032;
inline constexpr uint32_t kErrorInvalidCa = 12045;
inline constexpr uint32_t kErrorHeaderNotFound = 12150;
inline constexpr uint32_t kErrorInvalidServerResponse = 12152;

// Request flags and options.
inline constexpr uint32_t kFlagSecure = 0x00800000;
inline constexpr uint32_t kServiceHttp = 3;

// Connected-state flags.
inline constexpr uint32_t kConnectionModem = 0x01;
inline constexpr uint32_t kConnectionLan = 0x02;
inline constexpr uint32_t kConnectionProxy = 0x04;
inline constexpr uint32_t kConnectionOffline = 0x20;

// URL schemes.
inline constexpr int kSchemeHttp = 3;
inline constexpr int kSchemeHttps = 4;

// The parts of a cracked URL: scheme, port, host (into hostSize bytes) and
// the path with its query (into pathSize bytes).
struct UrlParts {
    int scheme = 0;
    uint16_t port = 0;
    char* host = nullptr;
    uint32_t hostSize = 0;
    char* path = nullptr;
    uint32_t pathSize = 0;
};

uint32_t Open(const char* agent, uint32_t accessType, const char* proxy, Handle* session);
uint32_t Connect(Handle session, const char* host, uint16_t port, const char* user, const char* password,
                 uint32_t service, Handle* connection);
uint32_t OpenRequest(Handle connection, const char* verb, const char* path, const char* const* acceptTypes,
                     uint32_t flags, Handle* request);
// A limit on the whole of a request, from its send to the end of its body:
// once it has passed, the send or the read under way fails with
// kErrorTimeout. Set before SendRequest; 0 (the default) sets none, and the
// request then fails only when the server stalls.
uint32_t SetRequestTimeout(Handle request, uint32_t milliseconds);
uint32_t SendRequest(Handle request, const void* body, uint32_t bodyLength);
uint32_t QueryStatusCode(Handle request, uint32_t* statusCode);
// The body's length as the reply frames it, as decimal text;
// kErrorHeaderNotFound when the reply gives none (a chunked reply, whatever
// Content-Length it also carries).
uint32_t QueryContentLength(Handle request, char* text, uint32_t textSize);
// Reads up to `size` bytes of the body; 0 bytes read with success is the end.
uint32_t ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* got);
uint32_t CloseHandle(Handle handle);

// Asks the system to connect (dial up); returns 0 or the error.
uint32_t AttemptConnect();
// The connection flags (kConnection*); the result of the query is not used.
void GetConnectedState(uint32_t* flags);
// Asks the system to go online; true when it did.
bool GoOnline();
// Shows the system's authentication dialog for a request; returns its answer
// (kErrorForceRetry to send again, kErrorCancelled, or another error).
uint32_t AuthenticationDialog(Handle request);
// Ends the browser session of the handle's process-wide settings.
void EndBrowserSession(Handle request);

// Splits a URL; kErrorInsufficientBuffer when the host or the path does not
// fit its buffer.
uint32_t CrackUrl(const char* url, UrlParts* parts);

}  // namespace zun::platform::inet
