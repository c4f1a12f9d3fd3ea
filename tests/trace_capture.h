// Collects the engine's trace lines for the duration of a test.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/trace.h"

namespace zun::testing {

class TraceCapture final : public trace::Listener {
public:
    TraceCapture() { _previous = trace::SetListener(this); }
    ~TraceCapture() { trace::SetListener(_previous); }

    void OnTraceLine(const char* line) override {
        std::lock_guard<std::mutex> lock(_mutex);
        _lines.emplace_back(line);
    }

    // The lines with their "file(line): " prefix and newline removed.
    std::vector<std::string> Messages() const {
        std::lock_guard<std::mutex> lock(_mutex);
        std::vector<std::string> messages;
        for (const std::string& line : _lines) {
            const size_t start = line.find("): ");
            std::string message = start == std::string::npos ? line : line.substr(start + 3);
            if (!message.empty() && message.back() == '\n') message.pop_back();
            messages.push_back(message);
        }
        return messages;
    }

    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(_mutex);
        return _lines;
    }

private:
    trace::Listener* _previous = nullptr;
    mutable std::mutex _mutex;
    std::vector<std::string> _lines;
};

}  // namespace zun::testing
