// Watching the machine's processes through /proc, for tests that check that
// what the engine started has ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "file_bytes.h"

namespace zun::testing {

// Whether the process behind a /proc folder belongs to `group` and still
// runs: a killed one may wait as a zombie for its new parent to reap it.
inline bool IsLiveMemberOf(const std::filesystem::path& process, pid_t group) {
    const std::string stat = FileBytes((process / "stat").string());
    const size_t end = stat.rfind(')');
    char state = 0;
    int parent = 0;
    int processGroup = 0;
    return end != std::string::npos &&
           std::sscanf(stat.c_str() + end + 1, " %c %d %d", &state, &parent, &processGroup) == 3 &&
           processGroup == group && state != 'Z';
}

// Whether a process for which `matches(its /proc folder)` holds still runs
// after five seconds: ended processes may take a moment to go on a busy
// machine.
template <typename Matches>
bool ProcessStays(Matches matches) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        bool runs = false;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;  // not a process
            runs = runs || matches(entry.path());
        }
        if (!runs) return false;
        if (std::chrono::steady_clock::now() > limit) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace zun::testing
