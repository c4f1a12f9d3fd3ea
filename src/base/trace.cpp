#include "base/trace.h"

#include <atomic>

#include "platform/trace_sink.h"

namespace zun::trace {
namespace {

std::atomic<Listener*> g_listener{nullptr};

}  // namespace

bool Enabled() {
    return g_listener.load(std::memory_order_acquire) != nullptr || platform::TraceSinkEnabled();
}

void Write(const char* file, int line, const char* format, ...) {
    Listener* const listener = g_listener.load(std::memory_order_acquire);
    if (listener == nullptr && !platform::TraceSinkEnabled()) return;

    char text[kMaxLineSize];
    const Status prefixStatus = FormatText(text, sizeof text, "%s(%d): ", file, line);
    const size_t prefixLength = TextInBuffer(text).size();
    if (prefixStatus == 0) {
        va_list args;
        va_start(args, format);
        FormatTextV(text + prefixLength, sizeof text - prefixLength, format, args);
        va_end(args);
    }
    // Every line ends with a newline, also a cut one.
    size_t length = TextInBuffer(text).size();
    if (length == sizeof text - 1) --length;
    text[length] = '\n';
    text[length + 1] = '\0';

    if (listener != nullptr) listener->OnTraceLine(text);
    platform::WriteTraceLine(text);
}

Listener* SetListener(Listener* listener) { return g_listener.exchange(listener, std::memory_order_acq_rel); }

}  // namespace zun::trace
