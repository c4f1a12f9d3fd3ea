// Internet port over libcurl's multi interface.
//
// Handles are numbers in a process-wide table that owns the objects behind
// them through shared pointers: a call looks its handle up and keeps the
// object alive while it runs, so closing a handle from another thread only
// takes it out of the table, marks it closed and wakes the transfer loop; the
// object goes away when its last user returns. A request pulls its body
// through a bounded buffer: the transfer is paused while the buffer is full
// and resumed when reads have drained it.
#include "platform/inet.h"

#include <curl/curl.h>
#include <strings.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/bounded_text.h"

namespace zun::platform::inet {
namespace {

constexpr uint32_t kErrorIncorrectHandleState = 12019;
// Body bytes held for the reader before the transfer pauses.
constexpr size_t kHighWater = 256 * 1024;
// Longest wait of the transfer loop before it looks at the closed flags again.
constexpr int kPollMilliseconds = 100;
constexpr long kConnectTimeoutMilliseconds = 60000;
// A transfer that receives nothing for this long has timed out.
constexpr long kStallSeconds = 30;

class Object {
public:
    explicit Object(std::shared_ptr<Object> parent) : _parent(std::move(parent)) {}
    virtual ~Object() = default;
    // Closed itself, or through the session or connection it belongs to.
    bool Closed() const {
        for (const Object* object = this; object != nullptr; object = object->_parent.get()) {
            if (object->_closed.load()) return true;
        }
        return false;
    }
    void Close() {
        _closed.store(true);
        Wake();
    }

protected:
    virtual void Wake() {}
    std::shared_ptr<Object> _parent;

private:
    std::atomic<bool> _closed{false};
};

class Session final : public Object {
public:
    explicit Session(const char* agent) : Object(nullptr), agent(TextOrEmpty(agent)) {}
    const std::string agent;
};

class Connection final : public Object {
public:
    Connection(std::shared_ptr<Session> session, const char* host, uint16_t port)
        : Object(session), session(session.get()), host(host), port(port) {
        // Requests of one connection share its connection cache, so a
        // session's requests reuse one kept-alive connection.
        share = curl_share_init();
        if (share != nullptr) {
            curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &Lock);
            curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &Unlock);
            curl_share_setopt(share, CURLSHOPT_USERDATA, this);
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
    }
    ~Connection() override {
        if (share != nullptr) curl_share_cleanup(share);
    }

    Session* const session;
    const std::string host;
    const uint16_t port;
    CURLSH* share = nullptr;

private:
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<Connection*>(user)->_locks[data % kLockCount].lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* user) {
        static_cast<Connection*>(user)->_locks[data % kLockCount].unlock();
    }
    static constexpr int kLockCount = CURL_LOCK_DATA_LAST;
    std::mutex _locks[kLockCount];
};

uint32_t MapCurlResult(CURLcode result) {
    switch (result) {
        case CURLE_OK:
            return 0;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return kErrorNameNotResolved;
        case CURLE_COULDNT_CONNECT:
            return kErrorCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return kErrorTimeout;
        case CURLE_URL_MALFORMAT:
            return kErrorInvalidUrl;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return kErrorUnrecognizedScheme;
        case CURLE_OUT_OF_MEMORY:
            return kErrorNotEnoughMemory;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return kErrorInvalidCa;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
            return kErrorInvalidServerResponse;
        case CURLE_ABORTED_BY_CALLBACK:
            return kErrorOperationCancelled;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_SSL_CONNECT_ERROR:
            return kErrorConnectionAborted;
        default:
            return kErrorInternal;
    }
}

class Request final : public Object {
public:
    Request(std::shared_ptr<Connection> connection, const char* verb, const char* path, uint32_t flags)
        : Object(connection), _connection(connection.get()), _verb(verb != nullptr ? verb : "GET"),
          _path(path != nullptr && path[0] != '\0' ? path : "/"), _flags(flags) {
        if (_path[0] != '/') _path.insert(0, 1, '/');
        // Blanks are escaped, as the system's HTTP client does; everything
        // else goes out as given.
        for (size_t at = _path.find(' '); at != std::string::npos; at = _path.find(' ', at)) {
            _path.replace(at, 1, "%20");
        }
        _multi = curl_multi_init();
    }
    ~Request() override {
        Detach();
        if (_multi != nullptr) curl_multi_cleanup(_multi);
    }

    uint32_t Send(const void* body, uint32_t bodyLength) {
        if (_multi == nullptr) return kErrorNotEnoughMemory;
        Detach();
        _received.clear();
        _readAt = 0;
        _paused = false;
        _headersDone = false;
        _finished = false;
        _result = CURLE_OK;
        _statusCode = 0;
        _contentLength.reset();
        _lengthText.reset();
        _lengthsConflict = false;
        _chunked = false;
        _body.assign(static_cast<const char*>(body), body != nullptr ? bodyLength : 0);
        const uint32_t error = Attach();
        if (error != 0) return error;
        Drive([this] { return _headersDone || _finished; });
        if (Closed()) return kErrorOperationCancelled;
        if (_headersDone && _lengthsConflict) return kErrorInvalidServerResponse;
        // Once the headers are in, the request has been sent; a transfer that
        // broke off after them fails the reads.
        if (_headersDone) {
            TakeContentLength();
            return 0;
        }
        return _result != CURLE_OK ? MapCurlResult(_result) : kErrorInvalidServerResponse;
    }

    uint32_t StatusCode(uint32_t* statusCode) const {
        if (!_headersDone) return kErrorIncorrectHandleState;
        *statusCode = _statusCode;
        return 0;
    }

    uint32_t ContentLength(char* text, uint32_t textSize) const {
        if (!_headersDone) return kErrorIncorrectHandleState;
        if (!_contentLength) return kErrorHeaderNotFound;
        const std::string length = std::to_string(*_contentLength);
        if (length.size() >= textSize) return kErrorInsufficientBuffer;
        std::memcpy(text, length.c_str(), length.size() + 1);
        return 0;
    }

    uint32_t Read(void* buffer, uint32_t size, uint32_t* got) {
        *got = 0;
        if (_easy == nullptr || !_headersDone) return kErrorIncorrectHandleState;
        if (size == 0) return 0;
        for (;;) {
            if (Closed()) return kErrorOperationCancelled;
            const size_t held = _received.size() - _readAt;
            if (held > 0) {
                const size_t count = held < size ? held : size;
                std::memcpy(buffer, _received.data() + _readAt, count);
                _readAt += count;
                if (_readAt == _received.size()) {
                    _received.clear();
                    _readAt = 0;
                }
                *got = static_cast<uint32_t>(count);
                return 0;
            }
            if (_finished) return MapCurlResult(_result);
            if (_paused) {
                // Resuming may hand the held data over at once.
                _paused = false;
                curl_easy_pause(_easy, CURLPAUSE_CONT);
                continue;
            }
            Step();
        }
    }

    void SetTimeout(uint32_t milliseconds) { _timeoutMilliseconds = milliseconds; }

private:
    void Wake() override {
        if (_multi != nullptr) curl_multi_wakeup(_multi);
    }

    uint32_t Attach() {
        _easy = curl_easy_init();
        if (_easy == nullptr) return kErrorNotEnoughMemory;
        const bool secure = (_flags & kFlagSecure) != 0;
        const std::string url = std::string(secure ? "https://" : "http://") + _connection->host + ":" +
                                std::to_string(_connection->port) + _path;
        _headers = curl_slist_append(_headers, "Accept: */*");
        _headers = curl_slist_append(_headers, "Expect:");
        curl_easy_setopt(_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(_easy, CURLOPT_SHARE, _connection->share);
        curl_easy_setopt(_easy, CURLOPT_USERAGENT, _connection->session->agent.c_str());
        curl_easy_setopt(_easy, CURLOPT_HTTPHEADER, _headers);
        curl_easy_setopt(_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(_easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(_easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMilliseconds);
        curl_easy_setopt(_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(_easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(_easy, CURLOPT_TIMEOUT_MS, static_cast<long>(_timeoutMilliseconds));
        // The peer's certificate chains to an anchor of the system's store and
        // names the host.
        curl_easy_setopt(_easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(_easy, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(_easy, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(_easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(_easy, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(_easy, CURLOPT_HEADERDATA, this);
        if (_verb == "POST") {
            curl_easy_setopt(_easy, CURLOPT_POST, 1L);
            curl_easy_setopt(_easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(_body.size()));
            curl_easy_setopt(_easy, CURLOPT_POSTFIELDS, _body.data());
        } else if (_verb != "GET") {
            curl_easy_setopt(_easy, CURLOPT_CUSTOMREQUEST, _verb.c_str());
        }
        if (curl_multi_add_handle(_multi, _easy) != CURLM_OK) {
            Detach();
            return kErrorInternal;
        }
        return 0;
    }

    void Detach() {
        if (_easy != nullptr) {
            curl_multi_remove_handle(_multi, _easy);
            curl_easy_cleanup(_easy);
            _easy = nullptr;
        }
        curl_slist_free_all(_headers);
        _headers = nullptr;
    }

    // One round of the transfer: let curl work, collect its end, and wait
    // for the socket (or a wake-up) when there was nothing to do.
    void Step() {
        int running = 0;
        curl_multi_perform(_multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(_multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == _easy) {
                _finished = true;
                _result = message->data.result;
            }
        }
        if (_finished || _received.size() > _readAt) return;
        curl_multi_poll(_multi, nullptr, 0, kPollMilliseconds, nullptr);
    }

    template <typename Done>
    void Drive(Done done) {
        while (!done() && !Closed()) Step();
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Request*>(user);
        const size_t bytes = size * count;
        if (self->_received.size() - self->_readAt >= kHighWater) {
            self->_paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (self->_readAt > 0) {
            self->_received.erase(self->_received.begin(), self->_received.begin() + self->_readAt);
            self->_readAt = 0;
        }
        self->_received.insert(self->_received.end(), data, data + bytes);
        return bytes;
    }

    // The body's length as libcurl frames it: none for a chunked reply,
    // whatever Content-Length said.
    void TakeContentLength() {
        curl_off_t length = -1;
        if (!_chunked && curl_easy_getinfo(_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length >= 0) {
            _contentLength = static_cast<uint64_t>(length);
        }
    }

    // The value of a header line of the given name (lower case, with its
    // colon), without surrounding blanks; false for a line of another name.
    static bool HeaderValue(std::string_view line, std::string_view name, std::string_view* value) {
        if (line.size() < name.size() || strncasecmp(line.data(), name.data(), name.size()) != 0) return false;
        *value = line.substr(name.size());
        while (!value->empty() && (value->front() == ' ' || value->front() == '\t')) value->remove_prefix(1);
        while (!value->empty() && (value->back() == ' ' || value->back() == '\t')) value->remove_suffix(1);
        return true;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Request*>(user);
        const size_t bytes = size * count;
        // Lines after the final header block are a chunked reply's trailer:
        // they describe nothing of the body already framed.
        if (self->_headersDone) return bytes;
        std::string_view line(data, bytes);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.substr(0, 5) == "HTTP/") {
            // A new response begins (an interim 1xx one precedes the final).
            self->_lengthText.reset();
            self->_lengthsConflict = false;
            self->_chunked = false;
            const size_t blank = line.find(' ');
            self->_statusCode = 0;
            for (size_t at = blank == std::string_view::npos ? line.size() : blank + 1;
                 at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])); ++at) {
                self->_statusCode = self->_statusCode * 10 + static_cast<uint32_t>(line[at] - '0');
            }
        } else if (line.empty()) {
            if (self->_statusCode >= 200) self->_headersDone = true;
        } else if (std::string_view value; HeaderValue(line, "content-length:", &value)) {
            // The same length twice is one length; two different ones leave
            // no way to tell where the body ends.
            if (self->_lengthText && *self->_lengthText != value) self->_lengthsConflict = true;
            self->_lengthText = std::string(value);
        } else if (HeaderValue(line, "transfer-encoding:", &value)) {
            std::string coding(value);
            for (char& c : coding) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (coding.find("chunked") != std::string::npos) self->_chunked = true;
        }
        return bytes;
    }

    Connection* const _connection;
    const std::string _verb;
    std::string _path;
    const uint32_t _flags;
    CURLM* _multi = nullptr;
    CURL* _easy = nullptr;
    curl_slist* _headers = nullptr;
    std::string _body;
    std::vector<char> _received;
    size_t _readAt = 0;
    bool _paused = false;
    bool _headersDone = false;
    bool _finished = false;
    CURLcode _result = CURLE_OK;
    uint32_t _statusCode = 0;
    uint32_t _timeoutMilliseconds = 0;
    // The final response's Content-Length text, and whether another one
    // disagreed with it.
    std::optional<std::string> _lengthText;
    bool _lengthsConflict = false;
    bool _chunked = false;
    std::optional<uint64_t> _contentLength;
};

class HandleTable {
public:
    Handle Add(std::shared_ptr<Object> object) {
        std::lock_guard<std::mutex> lock(_mutex);
        const uintptr_t id = _next++;
        _objects.emplace(id, std::move(object));
        return reinterpret_cast<Handle>(id);
    }

    template <typename T>
    std::shared_ptr<T> Find(Handle handle) {
        std::lock_guard<std::mutex> lock(_mutex);
        const auto found = _objects.find(reinterpret_cast<uintptr_t>(handle));
        if (found == _objects.end()) return nullptr;
        return std::dynamic_pointer_cast<T>(found->second);
    }

    std::shared_ptr<Object> Remove(Handle handle) {
        std::lock_guard<std::mutex> lock(_mutex);
        const auto found = _objects.find(reinterpret_cast<uintptr_t>(handle));
        if (found == _objects.end()) return nullptr;
        std::shared_ptr<Object> object = std::move(found->second);
        _objects.erase(found);
        return object;
    }

private:
    std::mutex _mutex;
    // Numbers are never reused, so a stale handle finds nothing.
    uintptr_t _next = 1;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> _objects;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

bool EnsureCurl() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

}  // namespace

uint32_t Open(const char* agent, uint32_t, const char*, Handle* session) {
    *session = nullptr;
    if (!EnsureCurl()) return kErrorInternal;
    *session = Handles().Add(std::make_shared<Session>(agent));
    return 0;
}

uint32_t Connect(Handle sessionHandle, const char* host, uint16_t port, const char*, const char*, uint32_t,
                 Handle* connection) {
    *connection = nullptr;
    std::shared_ptr<Session> session = Handles().Find<Session>(sessionHandle);
    if (session == nullptr) return kErrorInvalidHandle;
    if (host == nullptr || host[0] == '\0') return kErrorInvalidUrl;
    *connection = Handles().Add(std::make_shared<Connection>(session, host, port));
    return 0;
}

uint32_t OpenRequest(Handle connectionHandle, const char* verb, const char* path, const char* const*,
                     uint32_t flags, Handle* request) {
    *request = nullptr;
    std::shared_ptr<Connection> connection = Handles().Find<Connection>(connectionHandle);
    if (connection == nullptr) return kErrorInvalidHandle;
    *request = Handles().Add(std::make_shared<Request>(connection, verb, path, flags));
    return 0;
}

uint32_t SendRequest(Handle handle, const void* body, uint32_t bodyLength) {
    std::shared_ptr<Request> request = Handles().Find<Request>(handle);
    if (request == nullptr) return kErrorInvalidHandle;
    return request->Send(body, bodyLength);
}

uint32_t QueryStatusCode(Handle handle, uint32_t* statusCode) {
    std::shared_ptr<Request> request = Handles().Find<Request>(handle);
    if (request == nullptr) return kErrorInvalidHandle;
    return request->StatusCode(statusCode);
}

uint32_t QueryContentLength(Handle handle, char* text, uint32_t textSize) {
    std::shared_ptr<Request> request = Handles().Find<Request>(handle);
    if (request == nullptr) return kErrorInvalidHandle;
    return request->ContentLength(text, textSize);
}

uint32_t ReadFile(Handle handle, void* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    std::shared_ptr<Request> request = Handles().Find<Request>(handle);
    if (request == nullptr) return kErrorInvalidHandle;
    return request->Read(buffer, size, got);
}

uint32_t CloseHandle(Handle handle) {
    std::shared_ptr<Object> object = Handles().Remove(handle);
    if (object == nullptr) return kErrorInvalidHandle;
    object->Close();
    return 0;
}

uint32_t AttemptConnect() { return 0; }

void GetConnectedState(uint32_t* flags) { *flags = kConnectionLan; }

bool GoOnline() { return true; }

uint32_t AuthenticationDialog(Handle) { return kErrorCancelled; }

uint32_t SetRequestTimeout(Handle handle, uint32_t milliseconds) {
    std::shared_ptr<Request> request = Handles().Find<Request>(handle);
    if (request == nullptr) return kErrorInvalidHandle;
    request->SetTimeout(milliseconds);
    return 0;
}

void EndBrowserSession(Handle) {}

}  // namespace zun::platform::inet
