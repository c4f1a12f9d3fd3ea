#include "net/store_requests.h"

#include "base/bounded_text.h"
#include "base/byte_order.h"
#include "base/engine_heap.h"

namespace zun {

Status BuildSilentCheckUrl(char* url, size_t size, const char* host, const char* vantorID, const char* skuRefNum,
                           const char* pc, const char* trackingID) {
    return FormatText(url, size,
                      "http://%s/store/IEEngineHandler.aspx?call=silentcheckforupdate&cmd=silentcheckforupdate"
                      "&s=%s&skurefnum=%s&pc=%s&trackingID=%s",
                      TextOrEmpty(host), TextOrEmpty(vantorID), TextOrEmpty(skuRefNum), TextOrEmpty(pc),
                      TextOrEmpty(trackingID));
}

Status BuildEngineUpdateUrl(char* url, size_t size, const char* host, const GatewayRecord& record,
                            const char* versionText) {
    // The activation id: the record's own text, else the one in the caller's
    // cart state.
    char activationId[kActivationIdSize] = {};
    std::string_view actidc = TextOrEmpty(record.actidc);
    if (actidc.empty() && record.cartStateIn != nullptr) {
        const uint32_t totalLength = LoadLittleEndian32(record.cartStateIn);
        if (CartState::GetValueFromBuffer(record.cartStateIn, totalLength, "_cartitem0.activationid", activationId,
                                          sizeof activationId) == 0) {
            actidc = TextInBuffer(activationId);
        }
    }
    return FormatText(url, size,
                      "http://%s/store/IEEngineHandler.aspx?call=CHECKFORIEENGINEUPDATE&cmd=CHECKFORIEENGINEUPDATE"
                      "&vnidc=%s&pubidc=%s&pc=%s&actidc=%.*s&vers=%s",
                      TextOrEmpty(host), TextOrEmpty(record.vantorID), TextOrEmpty(record.publisherID),
                      TextOrEmpty(record.pc), static_cast<int>(actidc.size()), actidc.data(),
                      TextOrEmpty(versionText));
}

Status BuildLayoutUrl(char* url, size_t size, const char* host, const GatewayRecord& record) {
    return FormatText(url, size, "http://%s/store/IEEngineHandler.aspx?call=layoutSize&cmd=layoutSize&s=%s&tc=%s",
                      TextOrEmpty(host), TextOrEmpty(record.vantorID), TextOrEmpty(record.tc));
}

Status LoadReply(CartState& state, uint8_t* reply) {
    // Replies carry a zero byte after their data, so they read as text.
    const Status status = state.SetCartState(reinterpret_cast<const char*>(reply));
    heap::Release(reply);
    return status;
}

int32_t ParseDecimal(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

}  // namespace zun
