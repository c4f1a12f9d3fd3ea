// The modes of the wizard dialog. 6 to 9 are the wait modes, in which the
// dialog shows the embedded wait page.
#pragma once

#include <cstdint>

namespace zun {

inline constexpr int32_t WIZARDMODE_PURCHASE = 2;
inline constexpr int32_t WIZARDMODE_PURCHASECFU = 4;
inline constexpr int32_t WIZARDMODE_WAIT = 6;
inline constexpr int32_t WIZARDMODE_CONNECTIONERROR = 7;
inline constexpr int32_t WIZARDMODE_ENGINEAUTOUPDATE = 8;
inline constexpr int32_t WIZARDMODE_CONTACTING = 9;

inline bool IsWaitMode(int32_t mode) { return mode >= WIZARDMODE_WAIT && mode <= WIZARDMODE_CONTACTING; }

}  // namespace zun
