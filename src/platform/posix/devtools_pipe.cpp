#include "platform/posix/devtools_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

namespace zun::platform::posix {
namespace {

// Pipe ends far above the descriptors the child gets (3 and 4), so that
// neither our own descriptors nor stray ones end up in the protocol stream.
constexpr int kHighDescriptor = 10;

// The descriptor moved up; the one given is closed.
Descriptor MoveHigh(Descriptor fd) { return Descriptor(fcntl(fd.Get(), F_DUPFD_CLOEXEC, kHighDescriptor)); }

// Both ends of a new pipe, moved up; none when one cannot be had.
bool OpenPipe(Descriptor& readEnd, Descriptor& writeEnd) {
    int ends[2];
    if (pipe(ends) != 0) return false;
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

}  // namespace

DevToolsPipe::DevToolsPipe(EventHandler onEvent) : _onEvent(std::move(onEvent)) {}

DevToolsPipe::~DevToolsPipe() { Stop(); }

Status DevToolsPipe::Start(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    signal(SIGPIPE, SIG_IGN);
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

int DevToolsPipe::Send(const std::string& method, const Json& params, const std::string& sessionId,
                       bool awaitReply) {
    int id = 0;
    {
        std::lock_guard<std::mutex> lock(_lock);
        if (!_alive) return 0;
        id = _nextId++;
        // A reply nobody waits for is dropped when it comes.
        _replies[id] = Reply{!awaitReply, {}};
    }
    Json message = {{"id", id}, {"method", method}, {"params", params.is_null() ? Json::object() : params}};
    if (!sessionId.empty()) message["sessionId"] = sessionId;
    const std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::lock_guard<std::mutex> writeLock(_writeLock);
    if (!_commandFd || !WriteAll(_commandFd.Get(), text.c_str(), text.size() + 1)) {
        std::lock_guard<std::mutex> lock(_lock);
        _replies.erase(id);
        return 0;
    }
    return id;
}

Status DevToolsPipe::Call(const std::string& method, const Json& params, const std::string& sessionId,
                          Json* result, std::chrono::milliseconds timeout) {
    const int id = Send(method, params, sessionId, true);
    if (id == 0) return kBrowserGone;
    std::unique_lock<std::mutex> lock(_lock);
    auto ready = [&] { return _replies[id].done || !_alive; };
    if (timeout.count() == 0) {
        _replied.wait(lock, ready);
    } else if (!_replied.wait_for(lock, timeout, ready)) {
        _replies.erase(id);
        return kBrowserTimeout;
    }
    Reply reply = std::move(_replies[id]);
    _replies.erase(id);
    if (!reply.done) return kBrowserGone;
    if (reply.message.contains("error")) return 0x80004005u;
    if (result != nullptr) *result = reply.message.value("result", Json::object());
    return 0;
}

void DevToolsPipe::Post(const std::string& method, const Json& params, const std::string& sessionId) {
    Send(method, params, sessionId, false);
}

bool DevToolsPipe::IsAlive() {
    std::lock_guard<std::mutex> lock(_lock);
    return _alive;
}

void DevToolsPipe::ReadLoop() {
    std::string pending;
    char buffer[65536];
    while (true) {
        const ssize_t got = read(_replyFd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<size_t>(got));
        size_t end;
        while ((end = pending.find('\0')) != std::string::npos) {
            Dispatch(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
    {
        std::lock_guard<std::mutex> lock(_lock);
        _alive = false;
    }
    _replied.notify_all();
    _onEvent("", Json::object(), "");
}

void DevToolsPipe::Dispatch(const std::string& text) {
    Json message = Json::parse(text, nullptr, false);
    if (message.is_discarded() || !message.is_object()) return;
    if (message.contains("id")) {
        const int id = message["id"].is_number_integer() ? message["id"].get<int>() : 0;
        std::lock_guard<std::mutex> lock(_lock);
        auto it = _replies.find(id);
        if (it == _replies.end()) return;
        if (it->second.done) {
            _replies.erase(it);  // a posted command's reply
            return;
        }
        it->second.done = true;
        it->second.message = std::move(message);
        _replied.notify_all();
        return;
    }
    const std::string method = message.value("method", "");
    if (method.empty()) return;
    _onEvent(method, message.value("params", Json::object()), message.value("sessionId", ""));
}

void DevToolsPipe::Stop() {
    {
        std::lock_guard<std::mutex> writeLock(_writeLock);
        _commandFd.Reset();
    }
    if (_pid > 0) {
        // The browser exits on its own shortly after its command pipe closes.
        int status = 0;
        bool exited = false;
        for (int i = 0; i < 40 && !exited; ++i) {
            exited = waitpid(_pid, &status, WNOHANG) == _pid;
            if (!exited) usleep(25000);
        }
        if (!exited) {
            kill(-_pid, SIGKILL);
            waitpid(_pid, &status, 0);
        } else {
            kill(-_pid, SIGKILL);  // helpers left in its group
        }
        _pid = -1;
    }
    if (_reader.joinable()) _reader.join();
    _replyFd.Reset();
}

}  // namespace zun::platform::posix
