// Any bytes as the saved purchase information's registry value, then lookups
// and changes of the names the engine uses.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "quiet_trace.h"
#include "shopper/named_value_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    // The first byte picks the name and whether the checksum is cleared (so
    // that the entry walk sees every input); the rest is the value.
    if (size == 0) return 0;
    static const char* const kNames[] = {"", "e", "EMAIL", "firstName", "shipfirstName", "billAddress2", "ship"};
    const char* name = kNames[(data[0] >> 1) % (sizeof kNames / sizeof kNames[0])];
    std::vector<uint8_t> bytes(data + 1, data + size);
    if ((data[0] & 1) != 0 && bytes.size() >= 4) bytes[0] = bytes[1] = bytes[2] = bytes[3] = 0;

    zun::NamedValueStore store;
    store.Load(bytes.data(), bytes.size());
    store.Get(name);
    std::string value = " Apt 5\\B ";
    store.Set(name, value);
    store.Remove("EMAIL");
    std::string other = "x";
    store.Set("firstName", other);
    store.StoreChecksum();
    // What the store writes, it must read back.
    zun::NamedValueStore reloaded;
    if (reloaded.Load(store.Data(), store.Size()) != 0) std::abort();
    return 0;
}
