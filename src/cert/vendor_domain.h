// The vendor's domain: a store host named in the store's certificate ends in it.
#pragma once

namespace zun {

inline constexpr char kVendorDomainSuffix[] = ".orvella.com";

}  // namespace zun
