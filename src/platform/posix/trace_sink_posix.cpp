#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/trace_sink.h"

namespace zun::platform {
namespace {

constexpr int kNoSink = -1;

// ZUN_TRACE unset: no tracing. Empty, "1" or "stderr": standard error.
// Anything else names a file that lines are appended to, created readable by
// its owner only. The file is opened without blocking: a FIFO that nobody
// reads refuses the open at once, and a full one drops lines rather than
// holding up the engine. A file that cannot be opened leaves the lines on
// standard error.
int OpenSink() {
    const char* setting = std::getenv("ZUN_TRACE");
    if (setting == nullptr) return kNoSink;
    if (setting[0] == '\0' || std::strcmp(setting, "1") == 0 || std::strcmp(setting, "stderr") == 0) {
        return STDERR_FILENO;
    }
    const int file = open(setting, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    return file >= 0 ? file : STDERR_FILENO;
}

int Sink() {
    static const int sink = OpenSink();
    return sink;
}

}  // namespace

bool TraceSinkEnabled() { return Sink() != kNoSink; }

void WriteTraceLine(const char* line) {
    const int sink = Sink();
    if (sink == kNoSink) return;
    // One write per line keeps lines of several threads whole in an
    // append-only file.
    size_t left = std::strlen(line);
    while (left > 0) {
        const ssize_t written = write(sink, line, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        line += written;
        left -= static_cast<size_t>(written);
    }
}

}  // namespace zun::platform
