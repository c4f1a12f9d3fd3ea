#include "base/boundary.h"

#include <exception>
#include <new>

#include "base/trace.h"

namespace zun {

Status TraceCaughtException(const char* file, int line, const char* boundary) noexcept {
    // Rethrown once more only to learn what it was; the trace writes into a
    // fixed buffer and throws nothing.
    const char* what = "unknown exception";
    Status status = ZUN_E_UNEXPECTED;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        what = "out of memory";
        status = ZUN_E_OUT_OF_MEMORY;
    } catch (const std::exception& exception) {
        what = exception.what();
    } catch (...) {
    }
    trace::Write(file, line, "ZUN_E: %s(): stopped an exception: %s: Failure %u", boundary, what, status);
    return status;
}

}  // namespace zun
