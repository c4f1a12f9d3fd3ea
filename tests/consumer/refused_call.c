/* A vendor's program: calls the engine it is linked with, with a call type the engine does not
 * serve, and expects ZUN_E_INVALID_REQUEST. */
#include <stdio.h>
#include <string.h>

#include <zunserver/zunserver.h>

int main(void) {
    GatewayRecord record;
    ZunStatus status;
    memset(&record, 0, sizeof record);
    record.size = ZUN_GATEWAY_RECORD_SIZE;
    record.callType = 3;
    status = EntryPoint(&record);
    printf("EntryPoint answered call type 3 with 0x%08X\n", (unsigned)status);
    return status == ZUN_E_INVALID_REQUEST ? 0 : 1;
}
