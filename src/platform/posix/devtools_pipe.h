// A browser process driven over its DevTools pipe: commands go out on the
// browser's fd 3, replies and events come back on its fd 4, each a JSON text
// ended by a NUL byte. A reader thread drains the pipe at all times, so the
// browser never stalls on a full pipe while a command waits for its reply.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/status.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/json_fields.h"

namespace zun::platform::posix {

// A command that got no reply in time, or whose browser has gone.
inline constexpr Status kBrowserGone = 0x800706BAu;  // RPC_S_SERVER_UNAVAILABLE
inline constexpr Status kBrowserTimeout = 0x800705B4u;  // ERROR_TIMEOUT

// How long a command waits for its reply unless it says otherwise.
inline constexpr std::chrono::milliseconds kCommandLimit{15000};

// One command of a batch (DevToolsPipe::CallAll); `result` may be null.
struct PipeCommand {
    std::string method;
    Json params;
    Json* result = nullptr;
};

class DevToolsPipe {
public:
    // Called on the reader thread for every event, and once with the method
    // "" when the browser has gone (end of its pipe).
    using EventHandler = std::function<void(const std::string& method, const Json& params,
                                            const std::string& sessionId)>;
    // Receives each command's text (without its NUL) instead of a browser.
    using CommandWriter = std::function<void(const std::string& text)>;

    explicit DevToolsPipe(EventHandler onEvent);
    ~DevToolsPipe();
    DevToolsPipe(const DevToolsPipe&) = delete;
    DevToolsPipe& operator=(const DevToolsPipe&) = delete;

    // Starts `program` with `arguments` in a session of its own, with
    // `environment` entries ("NAME=value") added to this process's.
    Status Start(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment);
    // Talks to a peer in this process instead of a browser: commands go to
    // `writer`, and the peer answers through Dispatch. This is how the
    // message handling is driven without a browser (fuzzing, tests).
    void StartWithPeer(CommandWriter writer);
    // Sends a command and waits at most `timeout` for its reply. The reply's
    // "result", or the command's error as a failure.
    Status Call(const std::string& method, const Json& params, const std::string& sessionId, Json* result,
                std::chrono::milliseconds timeout = kCommandLimit);
    // Sends every command before waiting for the first reply, then waits
    // for each: one round trip for the batch. The browser runs a session's
    // commands in order. 0, or the first command's failure.
    Status CallAll(const std::vector<PipeCommand>& commands, const std::string& sessionId,
                   std::chrono::milliseconds timeout = kCommandLimit);
    // Sends a command without waiting; usable from the event handler.
    void Post(const std::string& method, const Json& params, const std::string& sessionId);
    // One message as it came from the browser: a reply goes to the call that
    // waits for it, an event to the handler. Anything else, and anything the
    // handler throws, is traced and dropped.
    void Dispatch(const std::string& text);
    // Calls waiting for replies on `sessionId` fail at once, and later ones
    // on it too: its page has gone and will not answer.
    void AbandonSession(const std::string& sessionId);
    bool IsAlive();
    int ProcessId() const { return _pid; }
    // Closes the pipe, gives the browser a moment to exit, then ends its
    // process group; with a peer, ends the conversation.
    void Stop();

private:
    struct Reply {
        bool done = false;
        bool abandoned = false;
        std::string sessionId;
        Json message;
    };

    int Send(const std::string& method, const Json& params, const std::string& sessionId, bool awaitReply);
    // The reply to command `id` (0: it was not sent), waited for until
    // `deadline`.
    Status Await(int id, const std::string& method, Json* result, std::chrono::steady_clock::time_point deadline,
                 std::chrono::milliseconds timeout);
    void ReadLoop();
    void ReadMessages();
    void DispatchMessage(const std::string& text);
    void EndConversation();
    void EndProcess();

    EventHandler _onEvent;
    CommandWriter _peer;
    pid_t _pid = -1;
    Descriptor _commandFd;
    Descriptor _replyFd;
    std::thread _reader;
    std::mutex _writeLock;
    std::mutex _lock;
    std::condition_variable _replied;
    std::map<int, Reply> _replies;
    int _nextId = 1;
    bool _alive = false;
    std::vector<std::string> _abandonedSessions;
};

}  // namespace zun::platform::posix
