// A purchase called from inside a running wizard, as an application's window
// procedure would call it during the wizard's modal loop.
#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include <zunserver/zunserver.h>

#include "platform/ui.h"

namespace zun::testing {

// The nested call's status, or none when it did not come back in time.
inline std::optional<ZunStatus> PurchaseInside(platform::ui::WindowHandle wizard) {
    auto done = std::make_shared<std::promise<ZunStatus>>();
    std::future<ZunStatus> status = done->get_future();
    const bool posted = platform::ui::PostWindowTask(wizard, [done] {
        GatewayRecord nested{};
        nested.size = sizeof nested;
        nested.callType = ZUN_CALL_PURCHASE;
        nested.vantorID = "nested";
        done->set_value(EntryPoint(&nested));
    });
    if (!posted || status.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return std::nullopt;
    return status.get();
}

}  // namespace zun::testing
