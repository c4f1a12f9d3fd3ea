/* The public header compiles as C, and its record is usable from C. */
#include <zunserver/zunserver.h>

uint32_t ZunPublicHeaderRecordSize(void);

uint32_t ZunPublicHeaderRecordSize(void) {
    GatewayRecord record = {0};
    ZunEntryPointFunction entry = EntryPoint;
    record.size = ZUN_GATEWAY_RECORD_SIZE;
    return entry != 0 ? record.size : 0;
}
