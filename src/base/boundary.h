// Nothing thrown may leave the engine: every boundary (the entry function,
// COM methods, window and dialog procedures, hooks, thread entry points)
// wraps its body in a try block and ends it with one of these, which trace
// what was caught and turn it into a status:
//
//     try {
//         ...
//     }
//     ZUN_CATCH_RETURN()
//
// ZUN_CATCH_RETURN returns ZUN_E_UNEXPECTED (ZUN_E_OUT_OF_MEMORY for a failed
// allocation), ZUN_CATCH_RETURN_VALUE(v)
// returns v from a boundary whose result is not a status, and ZUN_CATCH_LOG
// only traces (thread entry points, posted tasks).
#pragma once

#include "base/status.h"

namespace zun {

// Traces the exception being handled, naming the boundary that stopped it,
// and returns the status a boundary reports for it. Call only inside a catch
// block.
Status TraceCaughtException(const char* file, int line, const char* boundary) noexcept;

// Runs `handler` as a boundary of its own: anything it throws is traced,
// naming `boundary`, and `fallback` is returned instead. For handlers whose
// body reads better as a lambda than inside a try block.
template <typename Result, typename Handler>
Result CallAtBoundary(const char* boundary, Result fallback, Handler&& handler) noexcept {
    try {
        return handler();
    } catch (...) {
        TraceCaughtException(__FILE__, __LINE__, boundary);
    }
    return fallback;
}

}  // namespace zun

#define ZUN_CATCH_RETURN()                                                        \
    catch (...) {                                                                 \
        return ::zun::TraceCaughtException(__FILE__, __LINE__, __func__);         \
    }

#define ZUN_CATCH_RETURN_VALUE(value)                                             \
    catch (...) {                                                                 \
        ::zun::TraceCaughtException(__FILE__, __LINE__, __func__);                \
        return value;                                                             \
    }

#define ZUN_CATCH_LOG()                                                           \
    catch (...) {                                                                 \
        ::zun::TraceCaughtException(__FILE__, __LINE__, __func__);                \
    }
