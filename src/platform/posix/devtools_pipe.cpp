#include "platform/posix/devtools_pipe.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/boundary.h"
#include "base/trace.h"

extern char** environ;

namespace zun::platform::posix {
namespace {

// Pipe ends far above the descriptors the child gets (3 and 4), so that
// neither our own descriptors nor stray ones end up in the protocol stream.
constexpr int kHighDescriptor = 10;

// The descriptor moved up; the one given is closed.
Descriptor MoveHigh(Descriptor fd) { return Descriptor(fcntl(fd.Get(), F_DUPFD_CLOEXEC, kHighDescriptor)); }

// Both ends of a new pipe, moved up; none when one cannot be had. They are
// close-on-exec from the start: a browser that another thread starts
// meanwhile must not inherit them, or this browser's end would never be
// seen as the end of its pipe.
bool OpenPipe(Descriptor& readEnd, Descriptor& writeEnd) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    readEnd = MoveHigh(Descriptor(ends[0]));
    writeEnd = MoveHigh(Descriptor(ends[1]));
    if (readEnd && writeEnd) return true;
    readEnd.Reset();
    writeEnd.Reset();
    return false;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Writes to a browser that may have gone without raising SIGPIPE, whose
// disposition belongs to the host process: the signal is blocked on this
// thread for the write, and one the write raised is taken back before the
// thread's mask is restored. The write itself fails with EPIPE.
bool WriteWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool wasPending = sigismember(&pendingBefore, SIGPIPE) == 1;
    const bool written = WriteAll(fd, data, size);
    if (!written && errno == EPIPE && !wasPending) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return written;
}

}  // namespace

DevToolsPipe::DevToolsPipe(EventHandler onEvent) : _onEvent(std::move(onEvent)) {}

DevToolsPipe::~DevToolsPipe() { Stop(); }

Status DevToolsPipe::Start(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    Descriptor commandRead, commandWrite, replyRead, replyWrite;
    if (!OpenPipe(commandRead, commandWrite) || !OpenPipe(replyRead, replyWrite)) return ZUN_E_OUT_OF_MEMORY;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, commandRead.Get(), 3);
    posix_spawn_file_actions_adddup2(&actions, replyWrite.Get(), 4);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The browser's own log lines would mix with the caller's output.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Nothing else of the host's: descriptors it opened without close-on-exec
    // are none of the browser's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 5);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    std::vector<std::string> argumentStore{program};
    argumentStore.insert(argumentStore.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStore) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environmentStore;
    for (char** entry = environ; *entry != nullptr; ++entry) environmentStore.emplace_back(*entry);
    environmentStore.insert(environmentStore.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& entry : environmentStore) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const int spawned = posix_spawn(&_pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        _pid = -1;
        return ZUN_E_NOT_FOUND;
    }
    // The browser's ends stay with the browser alone, so that its exit is
    // seen as the end of the reply pipe.
    commandRead.Reset();
    replyWrite.Reset();
    _commandFd = std::move(commandWrite);
    _replyFd = std::move(replyRead);
    _alive = true;
    _reader = std::thread([this] { ReadLoop(); });
    return 0;
}

void DevToolsPipe::StartWithPeer(CommandWriter writer) {
    _peer = std::move(writer);
    std::lock_guard<std::mutex> lock(_lock);
    _alive = true;
}

int DevToolsPipe::Send(const std::string& method, const Json& params, const std::string& sessionId,
                       bool awaitReply) {
    int id = 0;
    {
        std::lock_guard<std::mutex> lock(_lock);
        if (!_alive) return 0;
        if (!sessionId.empty() && std::find(_abandonedSessions.begin(), _abandonedSessions.end(), sessionId) !=
                                      _abandonedSessions.end()) {
            return 0;
        }
        id = _nextId++;
        // A reply nobody waits for is dropped when it comes.
        Reply& reply = _replies[id];
        reply.done = !awaitReply;
        reply.sessionId = sessionId;
    }
    Json message = {{"id", id}, {"method", method}, {"params", params.is_null() ? Json::object() : params}};
    if (!sessionId.empty()) message["sessionId"] = sessionId;
    const std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (_peer) {
        // Without the write lock: the peer may answer at once, through
        // Dispatch, before this returns.
        _peer(text);
        return id;
    }
    std::lock_guard<std::mutex> writeLock(_writeLock);
    if (!_commandFd || !WriteWithoutSigpipe(_commandFd.Get(), text.c_str(), text.size() + 1)) {
        std::lock_guard<std::mutex> lock(_lock);
        _replies.erase(id);
        return 0;
    }
    return id;
}

Status DevToolsPipe::Call(const std::string& method, const Json& params, const std::string& sessionId,
                          Json* result, std::chrono::milliseconds timeout) {
    const int id = Send(method, params, sessionId, true);
    return Await(id, method, result, std::chrono::steady_clock::now() + timeout, timeout);
}

Status DevToolsPipe::CallAll(const std::vector<PipeCommand>& commands, const std::string& sessionId,
                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<int> ids;
    for (const PipeCommand& command : commands) ids.push_back(Send(command.method, command.params, sessionId, true));
    // Every reply is collected, so that none is left waiting in the table.
    Status first = 0;
    for (size_t i = 0; i < commands.size(); ++i) {
        const Status status = Await(ids[i], commands[i].method, commands[i].result, deadline, timeout);
        if (first == 0) first = status;
    }
    return first;
}

Status DevToolsPipe::Await(int id, const std::string& method, Json* result,
                           std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds timeout) {
    if (id == 0) return kBrowserGone;
    std::unique_lock<std::mutex> lock(_lock);
    const bool answered = _replied.wait_until(lock, deadline, [&] {
        auto it = _replies.find(id);
        return it == _replies.end() || it->second.done || it->second.abandoned || !_alive;
    });
    auto it = _replies.find(id);
    if (it == _replies.end() || !it->second.done) {
        if (it != _replies.end()) _replies.erase(it);
        if (!answered) {
            ZUN_TRACE("ZUN_E: DevToolsPipe::Call(): %s: no reply in %lld ms", method.c_str(),
                      static_cast<long long>(timeout.count()));
            return kBrowserTimeout;
        }
        return kBrowserGone;
    }
    Json reply = std::move(it->second.message);
    _replies.erase(it);
    lock.unlock();
    if (FieldOf(reply, "error") != nullptr) {
        ZUN_TRACE("ZUN_E: DevToolsPipe::Call(): %s: %s", method.c_str(),
                  TextField(ObjectField(reply, "error"), "message").c_str());
        return 0x80004005u;
    }
    if (result != nullptr) *result = ObjectField(reply, "result");
    return 0;
}

void DevToolsPipe::Post(const std::string& method, const Json& params, const std::string& sessionId) {
    Send(method, params, sessionId, false);
}

void DevToolsPipe::AbandonSession(const std::string& sessionId) {
    {
        std::lock_guard<std::mutex> lock(_lock);
        _abandonedSessions.push_back(sessionId);
        for (auto& [id, reply] : _replies) reply.abandoned = reply.abandoned || reply.sessionId == sessionId;
    }
    _replied.notify_all();
}

bool DevToolsPipe::IsAlive() {
    std::lock_guard<std::mutex> lock(_lock);
    return _alive;
}

void DevToolsPipe::ReadLoop() {
    try {
        ReadMessages();
    }
    ZUN_CATCH_LOG()
    EndConversation();
}

void DevToolsPipe::ReadMessages() {
    std::string pending;
    char buffer[65536];
    while (true) {
        const ssize_t got = read(_replyFd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<size_t>(got));
        size_t start = 0;
        size_t end;
        while ((end = pending.find('\0', start)) != std::string::npos) {
            Dispatch(pending.substr(start, end - start));
            start = end + 1;
        }
        pending.erase(0, start);
    }
}

void DevToolsPipe::EndConversation() {
    {
        std::lock_guard<std::mutex> lock(_lock);
        if (!_alive) return;
        _alive = false;
    }
    _replied.notify_all();
    try {
        _onEvent("", Json::object(), "");
    }
    ZUN_CATCH_LOG()
}

void DevToolsPipe::Dispatch(const std::string& text) {
    try {
        DispatchMessage(text);
    } catch (...) {
        TraceCaughtException(__FILE__, __LINE__, __func__);
        ZUN_TRACE("ZUN_E: DevToolsPipe::Dispatch(): message of %zu bytes dropped", text.size());
    }
}

void DevToolsPipe::DispatchMessage(const std::string& text) {
    Json message = ParseReceived(text);
    if (!message.is_object()) {
        ZUN_TRACE("ZUN_E: DevToolsPipe::Dispatch(): not a message (%zu bytes): dropped", text.size());
        return;
    }
    if (FieldOf(message, "id") != nullptr) {
        const std::optional<int64_t> id = IntegerField(message, "id");
        std::lock_guard<std::mutex> lock(_lock);
        auto it = id ? _replies.find(static_cast<int>(*id)) : _replies.end();
        if (it == _replies.end() || *id != it->first) return;  // nobody asked
        if (it->second.done) {
            _replies.erase(it);  // a posted command's reply
            return;
        }
        it->second.done = true;
        it->second.message = std::move(message);
        _replied.notify_all();
        return;
    }
    const std::string method = TextField(message, "method");
    if (method.empty()) {
        ZUN_TRACE("ZUN_E: DevToolsPipe::Dispatch(): event without a method: dropped");
        return;
    }
    _onEvent(method, ObjectField(message, "params"), TextField(message, "sessionId"));
}

void DevToolsPipe::Stop() {
    {
        std::lock_guard<std::mutex> writeLock(_writeLock);
        _commandFd.Reset();
    }
    EndProcess();
    if (_reader.joinable()) _reader.join();
    _replyFd.Reset();
    if (_peer) EndConversation();
}

void DevToolsPipe::EndProcess() {
    if (_pid <= 0) return;
    // The browser exits on its own shortly after its command pipe closes.
    // Its exit is only observed here, not reaped: until it is reaped its id
    // cannot be taken by another process, so the group it leads can still
    // be named safely when it is ended.
    bool exited = false;
    for (int i = 0; i < 40 && !exited; ++i) {
        siginfo_t info{};
        exited = waitid(P_PID, static_cast<id_t>(_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                 info.si_pid == _pid;
        if (!exited) usleep(25000);
    }
    kill(-_pid, SIGKILL);  // the leader if it still runs, and helpers left in its group
    // Returns promptly: the leader has exited or has just been killed.
    int status = 0;
    while (waitpid(_pid, &status, 0) < 0 && errno == EINTR) {
    }
    _pid = -1;
}

}  // namespace zun::platform::posix
