// Compile-time checks of the GatewayRecord layout. On 32-bit targets the
// record is the documented 392 bytes with every field at its documented
// offset; 64-bit builds keep the field order with 8-byte pointers.
#include <cstddef>

#include <zunserver/zunserver.h>

#define ZUN_CHECK_OFFSET(field, offset) \
    static_assert(offsetof(GatewayRecord, field) == (offset), "GatewayRecord." #field " is not at " #offset)

static_assert(offsetof(GatewayRecord, size) == 0);
static_assert(offsetof(GatewayRecord, callType) == 8);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(GatewayRecord) == 392, "the 32-bit GatewayRecord is 392 bytes");
ZUN_CHECK_OFFSET(reserved4, 4);
ZUN_CHECK_OFFSET(publisherID, 12);
ZUN_CHECK_OFFSET(vantorID, 16);
ZUN_CHECK_OFFSET(pc, 20);
ZUN_CHECK_OFFSET(serialNumberExtraData, 24);
ZUN_CHECK_OFFSET(reserved28, 28);
ZUN_CHECK_OFFSET(trackingID, 52);
ZUN_CHECK_OFFSET(affiliateID, 56);
ZUN_CHECK_OFFSET(couponName, 60);
ZUN_CHECK_OFFSET(reserved64, 64);
ZUN_CHECK_OFFSET(actidc, 80);
ZUN_CHECK_OFFSET(reserved84, 84);
ZUN_CHECK_OFFSET(skuRefNum, 88);
ZUN_CHECK_OFFSET(tc, 92);
ZUN_CHECK_OFFSET(cartStateIn, 96);
ZUN_CHECK_OFFSET(wizardWidth, 100);
ZUN_CHECK_OFFSET(wizardHeight, 104);
ZUN_CHECK_OFFSET(invoiceWidth, 108);
ZUN_CHECK_OFFSET(invoiceHeight, 112);
ZUN_CHECK_OFFSET(interactive, 116);
ZUN_CHECK_OFFSET(padding117, 117);
ZUN_CHECK_OFFSET(cartStateOut, 120);
ZUN_CHECK_OFFSET(updateFilePath, 124);
ZUN_CHECK_OFFSET(engineUpdated, 384);
ZUN_CHECK_OFFSET(reserved388, 388);
#endif
