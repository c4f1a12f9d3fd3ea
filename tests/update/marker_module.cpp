// A module that carries an engine's file version and, when anything loads
// it, leaves the file that ZUN_MARKER_FILE names: the mark of code that ran.
#include <cstdio>
#include <cstdlib>

namespace {

struct LeaveMarker {
    LeaveMarker() {
        const char* path = std::getenv("ZUN_MARKER_FILE");
        if (path == nullptr) return;
        if (std::FILE* marker = std::fopen(path, "w")) std::fclose(marker);
    }
} leaveMarker;

}  // namespace
