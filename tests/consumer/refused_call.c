#include "refused_call.h"

#include <stdio.h>
#include <string.h>

int CheckRefusedCall(ZunEntryPointFunction entry) {
    static char publisher[] = "consumer";
    GatewayRecord record;
    GatewayRecord before;
    ZunStatus status;

    /* Every byte set, padding included, so that the copy compares whole. The
     * engine empties updateFilePath at its first byte: it is empty already. */
    memset(&record, 0, sizeof record);
    record.size = ZUN_GATEWAY_RECORD_SIZE;
    record.callType = 3;
    record.publisherID = publisher;
    record.wizardWidth = 640;
    record.wizardHeight = 480;
    record.invoiceWidth = 800;
    record.invoiceHeight = 600;
    memset(record.updateFilePath + 1, 'u', sizeof record.updateFilePath - 2);
    memcpy(&before, &record, sizeof record);

    status = entry(&record);
    if (status != ZUN_E_INVALID_REQUEST) {
        fprintf(stderr, "EntryPoint returned 0x%08X, expected 0x%08X\n", (unsigned)status,
                (unsigned)ZUN_E_INVALID_REQUEST);
        return 1;
    }
    if (memcmp(&record, &before, sizeof record) != 0) {
        fprintf(stderr, "EntryPoint changed the record of a refused call\n");
        return 1;
    }
    printf("EntryPoint refused call type 3 with 0x%08X, record untouched\n", (unsigned)status);
    return 0;
}
