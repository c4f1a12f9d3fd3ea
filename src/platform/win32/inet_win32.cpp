// Internet port over WinINet, called as it is: every failure returns the
// thread's last error.
#include "platform/inet.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "platform/win32/last_error.h"
#include "platform/win32/request_workers.h"

namespace zun::platform::inet {
namespace {

uint32_t ResultOf(BOOL ok) { return ok ? 0 : win32::LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR); }

// Largest piece of a body taken from the system in one read.
constexpr DWORD kReadAhead = 64 * 1024;

void ReleaseModule(HMODULE module) { FreeLibrary(module); }
void CloseThreadHandle(HANDLE thread) { ::CloseHandle(thread); }
using ModuleReference = UniqueHandle<HMODULE, &ReleaseModule>;
using ThreadHandle = UniqueHandle<HANDLE, &CloseThreadHandle>;

// Request workers running now; the module may not be unloaded while any runs.
std::atomic<long> g_runningWorkers{0};

// The calls of a request that wait for the server (send, read) run on a
// thread of the request's own, while the caller waits for them, for the
// request's handle to be closed, or for the request's time limit. Not every
// implementation of the system API makes a blocked call return when its
// handle is closed by another thread; this way the caller returns at once,
// and the abandoned call ends on its own with nothing of the caller's in use.
// The thread holds a reference on the module that holds this code, so that
// unloading the engine while a call is abandoned leaves the code in place
// until the thread is gone.
class RequestWorker {
public:
    using Job = std::function<uint32_t(RequestWorker&)>;

    static std::shared_ptr<RequestWorker> Start() {
        auto worker = std::make_shared<RequestWorker>();
        ModuleReference module;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadMain),
                                module.Out())) {
            return nullptr;
        }
        std::unique_ptr<ThreadStart> start(new (std::nothrow) ThreadStart{worker, std::move(module)});
        if (start == nullptr) return nullptr;
        g_runningWorkers.fetch_add(1);
        const ThreadHandle thread(CreateThread(nullptr, 0, &ThreadMain, start.get(), 0, nullptr));
        if (!thread) {
            g_runningWorkers.fetch_sub(1);
            return nullptr;
        }
        // The thread owns its start from here on.
        start.release();
        return worker;
    }

    // Runs `job` on the worker thread; ERROR_INTERNET_OPERATION_CANCELLED
    // when the request is closed before it ends, ERROR_INTERNET_TIMEOUT when
    // the request's time limit passes first.
    uint32_t Run(Job job) {
        std::unique_lock<std::mutex> lock(_mutex);
        if (_closed) return ERROR_INTERNET_OPERATION_CANCELLED;
        // A job abandoned at the time limit may still run: no other starts.
        if (_timedOut) return ERROR_INTERNET_TIMEOUT;
        _job = std::move(job);
        _done = false;
        _changed.notify_all();
        const auto finished = [this] { return _done || _closed; };
        if (_deadline) {
            if (!_changed.wait_until(lock, *_deadline, finished)) {
                _timedOut = true;
                return ERROR_INTERNET_TIMEOUT;
            }
        } else {
            _changed.wait(lock, finished);
        }
        if (!_done) return ERROR_INTERNET_OPERATION_CANCELLED;
        return _result;
    }

    void Close() {
        std::lock_guard<std::mutex> lock(_mutex);
        _closed = true;
        _changed.notify_all();
    }

    void SetTimeout(uint32_t milliseconds) {
        std::lock_guard<std::mutex> lock(_mutex);
        _timeout = std::chrono::milliseconds(milliseconds);
    }

    // The time limit counts from the send.
    void StartTimeLimit() {
        std::lock_guard<std::mutex> lock(_mutex);
        if (_timeout.count() > 0) _deadline = std::chrono::steady_clock::now() + _timeout;
    }

    void SetReadAhead(std::vector<char> data) {
        std::lock_guard<std::mutex> lock(_mutex);
        _readAhead = std::move(data);
        _readAt = 0;
    }

    // Hands out body bytes already read; false when there are none.
    bool TakeReadAhead(void* buffer, uint32_t size, uint32_t* got) {
        std::lock_guard<std::mutex> lock(_mutex);
        const size_t held = _readAhead.size() - _readAt;
        if (held == 0) return false;
        const size_t count = std::min<size_t>(held, size);
        std::memcpy(buffer, _readAhead.data() + _readAt, count);
        _readAt += count;
        *got = static_cast<uint32_t>(count);
        return true;
    }

private:
    struct ThreadStart {
        std::shared_ptr<RequestWorker> worker;
        ModuleReference module;
    };

    static DWORD WINAPI ThreadMain(void* parameter) {
        HMODULE module = nullptr;
        {
            std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
            module = start->module.Release();
            try {
                start->worker->Serve();
            } catch (...) {
                // Nothing leaves the thread; the waiting caller is told by
                // the close that ends the request.
            }
        }
        // Everything of this module's that the thread used is gone; the
        // module may go with the reference, and the thread ends in the
        // system's code.
        g_runningWorkers.fetch_sub(1);
        FreeLibraryAndExitThread(module, 0);
    }

    void Serve() {
        std::unique_lock<std::mutex> lock(_mutex);
        for (;;) {
            _changed.wait(lock, [this] { return _job != nullptr || _closed; });
            if (_closed) return;
            Job job = std::move(_job);
            _job = nullptr;
            lock.unlock();
            const uint32_t result = job(*this);
            job = nullptr;
            lock.lock();
            _result = result;
            _done = true;
            _changed.notify_all();
        }
    }

    std::mutex _mutex;
    std::condition_variable _changed;
    Job _job;
    bool _done = false;
    bool _closed = false;
    bool _timedOut = false;
    uint32_t _result = 0;
    std::chrono::milliseconds _timeout{0};
    std::optional<std::chrono::steady_clock::time_point> _deadline;
    std::vector<char> _readAhead;
    size_t _readAt = 0;
};

// The table of workers by request handle. Never destroyed: requests may
// still be closed while the process ends.
std::mutex g_workersMutex;
std::map<Handle, std::shared_ptr<RequestWorker>>& Workers() {
    static auto* const workers = new std::map<Handle, std::shared_ptr<RequestWorker>>;
    return *workers;
}

bool AddWorker(Handle request) {
    std::shared_ptr<RequestWorker> worker = RequestWorker::Start();
    if (worker == nullptr) return false;
    std::lock_guard<std::mutex> lock(g_workersMutex);
    Workers()[request] = std::move(worker);
    return true;
}

std::shared_ptr<RequestWorker> FindWorker(Handle request) {
    std::lock_guard<std::mutex> lock(g_workersMutex);
    const auto found = Workers().find(request);
    return found != Workers().end() ? found->second : nullptr;
}

void RemoveWorker(Handle handle) {
    std::shared_ptr<RequestWorker> worker;
    {
        std::lock_guard<std::mutex> lock(g_workersMutex);
        const auto found = Workers().find(handle);
        if (found == Workers().end()) return;
        worker = std::move(found->second);
        Workers().erase(found);
    }
    worker->Close();
}

// Whether the reply names two different Content-Lengths: then no reading of
// its body can be trusted. The same length twice is one length.
bool LengthsConflict(Handle request) {
    char first[32] = {};
    DWORD size = sizeof first;
    DWORD index = 0;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, first, &size, &index)) return false;
    for (;;) {
        char next[32] = {};
        size = sizeof next;
        if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, next, &size, &index)) return false;
        if (std::strcmp(first, next) != 0) return true;
    }
}

uint32_t HandleOrError(HINTERNET created, Handle* out) {
    *out = created;
    return created != nullptr ? 0 : win32::LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR);
}

}  // namespace

bool RequestWorkersRunning() { return g_runningWorkers.load() != 0; }

uint32_t Open(const char* agent, uint32_t accessType, const char* proxy, Handle* session) {
    return HandleOrError(InternetOpenA(agent, accessType, proxy, nullptr, 0), session);
}

uint32_t Connect(Handle session, const char* host, uint16_t port, const char* user, const char* password,
                 uint32_t service, Handle* connection) {
    return HandleOrError(InternetConnectA(session, host, port, user, password, service, 0, 0), connection);
}

uint32_t OpenRequest(Handle connection, const char* verb, const char* path, const char* const* acceptTypes,
                     uint32_t flags, Handle* request) {
    const uint32_t error = HandleOrError(
        HttpOpenRequestA(connection, verb, path, nullptr, nullptr, const_cast<const char**>(acceptTypes), flags, 0),
        request);
    if (error == 0 && !AddWorker(*request)) {
        const uint32_t workerError = win32::LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
        InternetCloseHandle(*request);
        *request = nullptr;
        return workerError;
    }
    return error;
}

uint32_t SetRequestTimeout(Handle request, uint32_t milliseconds) {
    std::shared_ptr<RequestWorker> worker = FindWorker(request);
    if (worker == nullptr) return ERROR_INVALID_HANDLE;
    worker->SetTimeout(milliseconds);
    return 0;
}

uint32_t SendRequest(Handle request, const void* body, uint32_t bodyLength) {
    std::shared_ptr<RequestWorker> worker = FindWorker(request);
    if (worker == nullptr) return ERROR_INVALID_HANDLE;
    // The job owns a copy of the body: a caller that gave up on a blocked
    // send may release its own.
    std::string copy(static_cast<const char*>(body), body != nullptr ? bodyLength : 0);
    worker->StartTimeLimit();
    const uint32_t error = worker->Run([request, copy = std::move(copy)](RequestWorker&) mutable -> uint32_t {
        return ResultOf(HttpSendRequestA(request, nullptr, 0, copy.empty() ? nullptr : copy.data(),
                                         static_cast<DWORD>(copy.size())));
    });
    if (error == 0 && LengthsConflict(request)) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    return error;
}

uint32_t QueryStatusCode(Handle request, uint32_t* statusCode) {
    DWORD value = 0;
    DWORD size = sizeof value;
    const BOOL ok = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr);
    *statusCode = value;
    return ResultOf(ok);
}

uint32_t QueryContentLength(Handle request, char* text, uint32_t textSize) {
    // A chunked body ends where its chunks end, whatever length it names.
    char coding[64] = {};
    DWORD codingSize = sizeof coding;
    if (HttpQueryInfoA(request, HTTP_QUERY_TRANSFER_ENCODING, coding, &codingSize, nullptr)) {
        std::string lower(coding, strnlen(coding, sizeof coding));
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("chunked") != std::string::npos) return kErrorHeaderNotFound;
    }
    DWORD size = textSize;
    return ResultOf(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr));
}

uint32_t ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    if (size == 0) return 0;
    std::shared_ptr<RequestWorker> worker = FindWorker(request);
    if (worker == nullptr) return ERROR_INVALID_HANDLE;
    if (worker->TakeReadAhead(buffer, size, got)) return 0;
    // Wait until the server has data, then take what it has (up to a read
    // ahead's worth) in one read that does not block.
    const uint32_t error = worker->Run([request](RequestWorker& self) -> uint32_t {
        DWORD available = 0;
        if (const uint32_t failed = ResultOf(InternetQueryDataAvailable(request, &available, 0, 0))) return failed;
        if (available > kReadAhead) available = kReadAhead;
        std::vector<char> data(available);
        DWORD read = 0;
        if (available > 0) {
            if (const uint32_t failed = ResultOf(InternetReadFile(request, data.data(), available, &read))) {
                return failed;
            }
        }
        data.resize(read);
        self.SetReadAhead(std::move(data));
        return 0;
    });
    if (error != 0) return error;
    worker->TakeReadAhead(buffer, size, got);
    return 0;
}

uint32_t CloseHandle(Handle handle) {
    RemoveWorker(handle);
    return ResultOf(InternetCloseHandle(handle));
}

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
    if (const uint32_t failed = ResultOf(InternetCrackUrlA(url, static_cast<DWORD>(lstrlenA(url)), 0, &components))) {
        return failed;
    }
    parts->scheme = components.nScheme;
    parts->port = components.nPort;
    return 0;
}

}  // namespace zun::platform::inet
