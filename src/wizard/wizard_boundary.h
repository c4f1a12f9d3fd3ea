// Window procedures, browser events and hooks are boundaries: nothing thrown
// may leave them. Guard runs a handler and turns anything thrown into a trace
// line and the handler's fallback result.
#pragma once

#include <exception>

#include "base/trace.h"

namespace zun::wizard_boundary {

template <typename Result, typename Handler>
Result Guard(const char* where, Result fallback, Handler&& handler) {
    try {
        return handler();
    } catch (const std::exception& error) {
        ZUN_TRACE("ZUN_E: %s: exception stopped: %s", where, error.what());
    } catch (...) {
        ZUN_TRACE("ZUN_E: %s: exception stopped", where);
    }
    return fallback;
}

}  // namespace zun::wizard_boundary
