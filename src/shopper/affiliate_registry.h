// The affiliate's web store address, kept under
// "Software\Orvella\Affiliates\<publisher>\<sku>" value "URL" of the current
// user or the machine. A value found in one of the two is copied into the
// other.
#pragma once

#include <cstddef>
#include <string>

namespace zun {

// Copies the address for this publisher and SKU into `out`; true when there
// is one and it fits.
bool GetAffiliateWebStoreURL(const char* publisherID, const char* sku, char* out, size_t outSize);
// The value from the current user's key, else the machine's; empty when
// neither holds it, or holds 256 bytes or more.
std::string ReadAffiliateValue(const char* path, const char* name);

}  // namespace zun
