#include "shopper/affiliate_registry.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "base/bounded_text.h"
#include "base/trace.h"
#include "platform/registry.h"
#include "shopper/registry_data.h"

namespace zun {
namespace {

using platform::RegistryRoot;

constexpr size_t kKeyPathSize = 260;
constexpr uint32_t kAffiliateValueSize = 256;

bool QueryAffiliateValue(RegistryRoot root, const char* path, const char* name, char (&value)[kAffiliateValueSize]) {
    platform::RegistryKeyOwner key;
    if (platform::RegistryOpenKey(root, path, platform::kKeyQueryValue, key.Out()) != 0) return false;
    // The last byte stays zero: a value of 256 bytes or more does not fit
    // and counts as not found, and what fits is always terminated.
    uint32_t type = 0;
    uint32_t size = kAffiliateValueSize - 1;
    return platform::RegistryQueryValue(key.Get(), name, &type, reinterpret_cast<uint8_t*>(value), &size) == 0;
}

}  // namespace

std::string ReadAffiliateValue(const char* path, const char* name) {
    ZUN_TRACE("ZUN: Prolog ReadAffiliateValue(%s,%s)", path, name);
    char value[kAffiliateValueSize] = {};
    bool found = QueryAffiliateValue(RegistryRoot::CurrentUser, path, name, value);
    if (found) {
        WriteRegistryString(RegistryRoot::LocalMachine, path, name, value);
    } else {
        std::fill(std::begin(value), std::end(value), '\0');
        found = QueryAffiliateValue(RegistryRoot::LocalMachine, path, name, value);
        if (found) WriteRegistryString(RegistryRoot::CurrentUser, path, name, value);
    }
    ZUN_TRACE("ZUN: Epilog ReadAffiliateValue()");
    return found ? std::string(value) : std::string();
}

bool GetAffiliateWebStoreURL(const char* publisherID, const char* sku, char* out, size_t outSize) {
    ZUN_TRACE("ZUN: Prolog GetAffiliateWebStoreURL(%s,%s)", publisherID, sku);
    // A key path or an address that does not fit its buffer is not used: a
    // cut path names another affiliate's key, a cut address another page.
    char path[kKeyPathSize];
    bool copied = false;
    if (FormatText(path, sizeof path, "Software\\Orvella\\Affiliates\\%s\\%s", publisherID, sku) == 0) {
        const std::string value = ReadAffiliateValue(path, "URL");
        copied = !value.empty() && value.size() < outSize && CopyText(out, outSize, value.c_str()) == 0;
    } else {
        ZUN_TRACE("ZUN_E: GetAffiliateWebStoreURL(): key path longer than %zu characters", sizeof path - 1);
    }
    ZUN_TRACE("ZUN: Epilog GetAffiliateWebStoreURL()");
    return copied;
}

}  // namespace zun
