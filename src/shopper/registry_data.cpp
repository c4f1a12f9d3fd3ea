#include "shopper/registry_data.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/trace.h"

namespace zun {

using platform::RegistryKeyOwner;

std::vector<uint8_t> ReadRegistryData(platform::RegistryRoot root, const char* path, const char* name) {
    RegistryKeyOwner key;
    if (platform::RegistryOpenKey(root, path, platform::kKeyQueryValue, key.Out()) != 0) return {};

    std::vector<uint8_t> data(4);
    uint32_t type = 0;
    uint32_t size = static_cast<uint32_t>(data.size());
    Status status = platform::RegistryQueryValue(key.Get(), name, &type, data.data(), &size);
    if (status == 0) {
        data.resize(size < data.size() ? size : data.size());
        return data;
    }
    if (status != platform::kErrorMoreData || size == 0) return {};

    data.assign(size, 0);
    status = platform::RegistryQueryValue(key.Get(), name, &type, data.data(), &size);
    key.Reset();
    if (status != 0) {
        // The value changed between the two queries.
        ZUN_TRACE("ZUN_E: ReadRegistryData(): RegQueryValueEx(%s): Failure %u", name, status);
        return {};
    }
    data.resize(size < data.size() ? size : data.size());
    if (type == platform::kRegSz && !data.empty()) {
        data.pop_back();
    } else if (type == platform::kRegMultiSz) {
        data.resize(data.size() >= 2 ? data.size() - 2 : 0);
        for (uint8_t& byte : data) {
            if (byte == 0) byte = ' ';
        }
    }
    return data;
}

bool WriteRegistryString(platform::RegistryRoot root, const char* path, const char* name, const char* text) {
    RegistryKeyOwner key;
    if (platform::RegistryCreateKey(root, path, key.Out()) != 0) return false;
    const char* value = TextOrEmpty(text);
    const Status status = platform::RegistrySetValue(key.Get(), name, platform::kRegSz,
                                                     reinterpret_cast<const uint8_t*>(value),
                                                     static_cast<uint32_t>(std::strlen(value) + 1));
    return status == 0;
}

}  // namespace zun
