#include "status_names.h"

namespace {

struct NamedStatus {
    ZunStatus value;
    const char* name;
};

#define ZUN_NAMED(status) {status, #status}
constexpr NamedStatus kStatuses[] = {
    {0, "ZUN_S_OK"},
    ZUN_NAMED(ZUN_S_UPDATE_AVAILABLE),
    ZUN_NAMED(ZUN_S_NO_UPDATE),
    ZUN_NAMED(ZUN_I_ALREADY_RETRIED),
    ZUN_NAMED(ZUN_I_NOT_HANDLED),
    ZUN_NAMED(ZUN_E_OFFLINE),
    ZUN_NAMED(ZUN_E_INVALID_REQUEST),
    ZUN_NAMED(ZUN_E_BLOB_RESIZE),
    ZUN_NAMED(ZUN_E_NETWORK),
    ZUN_NAMED(ZUN_E_AUTH_NOT_ALLOWED),
    ZUN_NAMED(ZUN_E_DEVICE_FAILED),
    ZUN_NAMED(ZUN_E_CERT_VIEWER),
    ZUN_NAMED(ZUN_E_INVALID_ARG),
    ZUN_NAMED(ZUN_E_NOT_FOUND),
    ZUN_NAMED(ZUN_E_BUFFER_TOO_SMALL),
    ZUN_NAMED(ZUN_E_READ_OUT_OF_BOUNDS),
    ZUN_NAMED(ZUN_E_BUFFER_GROW),
    ZUN_NAMED(ZUN_E_INVALID_CARTSTATE),
    ZUN_NAMED(ZUN_E_NO_EVENT_SLOT),
    ZUN_NAMED(ZUN_E_SESSION_CLOSED),
    ZUN_NAMED(ZUN_E_ENGINE_UPDATED),
    ZUN_NAMED(ZUN_E_NO_PROMPT_ANSWER),
    ZUN_NAMED(ZUN_E_WIZARD_RUNNING),
    ZUN_NAMED(ZUN_E_NOT_PINGED),
    ZUN_NAMED(ZUN_E_UNEXPECTED),
    ZUN_NAMED(ZUN_E_POINTER),
    ZUN_NAMED(ZUN_E_OUT_OF_MEMORY),
    ZUN_NAMED(ZUN_E_BAD_TEXT_ARGUMENT),
    ZUN_NAMED(ZUN_E_TEXT_TRUNCATED),
    ZUN_NAMED(ZUN_E_CONTROL_NOT_FOUND),
    // System errors the engine passes on in the 0x8007xxxx form.
    {0x800700DFu, "reply too large (223)"},
    {0x80072EE2u, "timeout (12002)"},
    {0x80072EE7u, "name not resolved (12007)"},
    {0x80072EFDu, "cannot connect (12029)"},
    {0x80072EFEu, "connection aborted (12030)"},
    {0x80072F0Du, "unknown certificate authority (12045)"},
};
#undef ZUN_NAMED

}  // namespace

const char* StatusName(ZunStatus status) {
    for (const NamedStatus& named : kStatuses) {
        if (named.value == status) return named.name;
    }
    return nullptr;
}
