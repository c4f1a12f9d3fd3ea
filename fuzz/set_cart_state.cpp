// Any text as a CartState's text form, then every operation on the result.
#include <cstdint>
#include <cstring>
#include <string>

#include "base/engine_heap.h"
#include "quiet_trace.h"
#include "state/cartstate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    // The first byte picks the key to look up and change; the rest is the text.
    if (size == 0) return 0;
    static const char* const kKeys[] = {"", "A", "PAGENAME", "_Order.Status", "WIDTH", "HEIGHT"};
    const char* key = kKeys[data[0] % (sizeof kKeys / sizeof kKeys[0])];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    zun::CartState state;
    state.SetCartState(text.c_str());
    char out[10];
    uint32_t position = 0;
    uint32_t length = 0;
    state.GetValue(key, out, sizeof out, &position, &length);
    if (state.SetValue(key, "1") == 0) state.UpdateChecksum();
    state.GetValue(key, out, sizeof out);
    uint8_t* copy = nullptr;
    if (state.CopyCartState(&copy) == 0) zun::heap::Release(copy);
    return 0;
}
