#include "shopper/purchase_post_data.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "base/byte_order.h"
#include "base/trace.h"
#include "state/cartstate.h"
#include "state/cartstate_entries.h"
#include "shopper/affiliate_registry.h"
#include "shopper/purchase_info.h"
#include "shopper/purchase_info_fields.h"

namespace zun {
namespace {

constexpr size_t kEncodeBufferSize = 2048;
constexpr size_t kEntryTextLimit = 1024;
constexpr uint16_t kAffiliateLookupSize = 256;
constexpr uint16_t kSkuSize = 100;
constexpr size_t kWebStoreUrlSize = 1024;
constexpr char kQuantityPair[] = "&_cartitem0.quantity=1";

bool IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

// Whether `extra` more characters still leave room for the terminator.
bool HasRoom(const PostDataBuffer& body, size_t extra) {
    return strnlen(body, kPostDataSize) + extra < kPostDataSize;
}

bool ValueFits(const char* value) { return strnlen(TextOrEmpty(value), kEncodeBufferSize) < kEncodeBufferSize; }

bool PairFits(const PostDataBuffer& body, size_t keyLength, const char* value, size_t extra = 0) {
    return ValueFits(value) && HasRoom(body, keyLength + std::strlen(TextOrEmpty(value)) + extra);
}

// Fixed texts go in whole or not at all.
void AppendWhole(PostDataBuffer& body, const char* text) {
    if (HasRoom(body, std::strlen(text))) AppendText(body, text);
}

void TraceLeftOut(const char* key, const char* value) {
    ZUN_TRACE("ZUN_E: CreatePurchasePostData(): %s left out: a value of %zu characters does not fit", key,
              std::strlen(TextOrEmpty(value)));
}

// The keys of a body, "s,pc,page": what a trace line may say of it.
std::string PostDataKeys(std::string_view body) {
    std::string keys;
    while (!body.empty()) {
        const std::string_view pair = body.substr(0, body.find('&'));
        if (!keys.empty()) keys += ',';
        keys += pair.substr(0, pair.find('='));
        body.remove_prefix(std::min(body.size(), pair.size() + 1));
    }
    return keys;
}

uint32_t BlobLength(const uint8_t* blob) { return LoadLittleEndian32(blob); }

// A lookup that filled its whole buffer has been cut: not found.
bool LookUp(const uint8_t* blob, const char* key, char* out, uint16_t outSize) {
    if (CartState::GetValueFromBuffer(blob, BlobLength(blob), key, out, outSize) != 0) return false;
    if (TextInBuffer(out, outSize).size() < outSize) return true;
    out[0] = '\0';
    ZUN_TRACE("ZUN_E: CreatePurchasePostData(): %s of %u characters or more left out", key, outSize);
    return false;
}

// The record's value, or when that is empty the blob's value of `blobKey`
// (and no pair when the blob has none).
void AppendAffiliatePair(PostDataBuffer& body, const char* pairKey, const char* recordValue, const uint8_t* blob,
                         const char* blobKey) {
    if (!IsEmpty(recordValue)) {
        AppendToPostData(body, pairKey, recordValue);
        return;
    }
    char found[kAffiliateLookupSize];
    if (LookUp(blob, blobKey, found, sizeof found)) AppendToPostData(body, pairKey, found);
}

bool BeginsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

void EncodeValue(PostDataBuffer& body, const char* value) {
    // Values may be the shopper's: their length only.
    ZUN_TRACE("ZUN: Prolog EncodeValue(%zu bytes)", std::strlen(TextOrEmpty(value)));
    const char* text = TextOrEmpty(value);
    if (!ValueFits(text) || !HasRoom(body, std::strlen(text))) {
        TraceLeftOut("a value", text);
    } else {
        char encoded[kEncodeBufferSize];
        size_t length = 0;
        for (; text[length] != '\0'; ++length) encoded[length] = text[length] == '&' ? '\x02' : text[length];
        encoded[length] = '\0';
        AppendText(body, encoded);
    }
    ZUN_TRACE("ZUN: Epilog EncodeValue()");
}

void AppendToPostData(PostDataBuffer& body, const char* key, const char* value) {
    ZUN_TRACE("ZUN: Prolog AppendToPostData(%s,%zu bytes)", key, std::strlen(TextOrEmpty(value)));
    if (PairFits(body, std::strlen(key), value)) {
        AppendText(body, key);
        EncodeValue(body, value);
    } else {
        TraceLeftOut(key, value);
    }
    ZUN_TRACE("ZUN: Epilog AppendToPostData()");
}

void AppendPostField(PostDataBuffer& body, const char* key, const char* value) {
    if (IsEmpty(value) || std::strstr(body, key) != nullptr) return;
    if (!PairFits(body, std::strlen(key) + 2, value)) {
        TraceLeftOut(key, value);
        return;
    }
    AppendText(body, "&");
    AppendText(body, key);
    AppendText(body, "=");
    EncodeValue(body, value);
}

void AppendCartStateEntries(PostDataBuffer& body, const uint8_t* blob) {
    if (blob == nullptr) return;
    CartStateEntries entries(blob, BlobLength(blob));
    CartStateEntry entry;
    while (entries.Next(entry)) {
        // Keys and values of 1024 bytes or more are not taken: empty text.
        char key[kEntryTextLimit] = {};
        char value[kEntryTextLimit] = {};
        if (entry.keyLength < kEntryTextLimit) std::memcpy(key, entry.key, entry.keyLength);
        if (entry.valueLength < kEntryTextLimit) std::memcpy(value, entry.value, entry.valueLength);
        const size_t pairLength = size_t{entry.keyLength} + entry.valueLength + 2;
        if (key[0] == '\0' || strnlen(body, kPostDataSize) + pairLength >= kPostDataSize ||
            BeginsWith(key, "_vantor.affiliateid") || BeginsWith(key, "_vantor.trackingid")) {
            continue;
        }
        AppendText(body, "&");
        AppendText(body, key);
        AppendText(body, "=");
        EncodeValue(body, value);
    }
}

void AppendShopperData(const GatewayRecord& record, PostDataBuffer& body) {
    LoadPurchaseInfo();
    const PurchaseInfo& info = ThePurchaseInfo();
    for (const PurchaseInfoField& shopper : kPurchaseInfoFields) {
        AppendPostField(body, shopper.postKey, (info.*shopper.field).c_str());
    }

    if (IsEmpty(record.publisherID)) return;
    char sku[kSkuSize] = {};
    if (!IsEmpty(record.skuRefNum)) {
        if (std::strlen(record.skuRefNum) < sizeof sku) CopyText(sku, record.skuRefNum);
    } else if (record.cartStateIn != nullptr) {
        LookUp(record.cartStateIn, "_cartitem0.skurefnum", sku, sizeof sku);
    }
    char url[kWebStoreUrlSize] = {};
    if (sku[0] != '\0' && GetAffiliateWebStoreURL(record.publisherID, sku, url, sizeof url)) {
        AppendPostField(body, "WebStoreURL", url);
    }
}

void CreatePurchasePostData(const GatewayRecord& record, PostDataBuffer& body, bool checkForUpdate) {
    ZUN_TRACE("ZUN: Prolog WizardController::CreatePurchasePostData(0x%" PRIxPTR ")",
              reinterpret_cast<uintptr_t>(body));
    body[0] = '\0';
    AppendToPostData(body, "s=", record.vantorID);
    AppendToPostData(body, "&pc=", record.pc);
    AppendWhole(body, "&page=");
    AppendToPostData(body, "&tc=", record.tc);
    if (checkForUpdate) AppendWhole(body, "&cmd=CFU");

    if (record.cartStateIn != nullptr) {
        AppendAffiliatePair(body, "&pt=", record.trackingID, record.cartStateIn, "_vantor.trackingid");
        AppendAffiliatePair(body, "&affidc=", record.affiliateID, record.cartStateIn, "_vantor.affiliateid");
    } else {
        AppendToPostData(body, "&pt=", record.trackingID);
        AppendToPostData(body, "&affidc=", record.affiliateID);
    }
    if (!IsEmpty(record.couponName)) AppendToPostData(body, "&_shopper.couponname=", record.couponName);
    if (record.cartStateIn != nullptr) AppendCartStateEntries(body, record.cartStateIn);

    if (!IsEmpty(record.skuRefNum)) {
        // The item goes in with its quantity, or not at all.
        constexpr char kSkuKey[] = "&_cartitem0.skurefnum=";
        if (PairFits(body, sizeof kSkuKey - 1, record.skuRefNum, sizeof kQuantityPair - 1)) {
            AppendToPostData(body, kSkuKey, record.skuRefNum);
            AppendWhole(body, kQuantityPair);
            if (!IsEmpty(record.serialNumberExtraData)) {
                AppendToPostData(body, "&_cartitem0.serialnumberextradata=", record.serialNumberExtraData);
            }
        } else {
            TraceLeftOut(kSkuKey, record.skuRefNum);
        }
    }
    ZUN_TRACE("ZUN: WizardController::CreatePurchasePostData(): PostData of %zu bytes, keys %s", std::strlen(body),
              PostDataKeys(body).c_str());
    AppendShopperData(record, body);
    ZUN_TRACE("ZUN: Epilog WizardController::CreatePurchasePostData()");
}

Status BuildPostDataVariant(platform::PostDataArgument* out, const char* body) {
    ZUN_TRACE("ZUN: Prolog WizardController::BuildPostDataVariant()");
    Status status = ZUN_E_INVALID_ARG;
    if (out != nullptr && body != nullptr) {
        status = out->Assign(reinterpret_cast<const uint8_t*>(body), std::strlen(body));
        if (status != 0) {
            ZUN_TRACE("ZUN_E: WizardController::BuildPostDataVariant(): Assign(): Failure %u", status);
        }
    }
    ZUN_TRACE("ZUN: Epilog WizardController::BuildPostDataVariant()");
    return status;
}

}  // namespace zun
