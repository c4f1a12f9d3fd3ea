/*
 * ZunServer public interface: the request/response record, the call types
 * and the status values of the engine's one entry function.
 *
 * Includable from C and C++. A client library loads the engine at run time
 * (LoadLibrary/GetProcAddress on Windows, dlopen/dlsym on Linux), fills a
 * GatewayRecord and calls EntryPoint.
 *
 * Record size. On 32-bit Windows the record is exactly 392 bytes with the
 * documented field offsets. On 64-bit targets (x86_64 Windows, Linux) the
 * pointers are 8 bytes wide, so the same fields in the same order make a
 * larger record. The engine compares `size` with sizeof(GatewayRecord) of
 * its own build: always set `size = sizeof(GatewayRecord)` (which is
 * ZUN_GATEWAY_RECORD_SIZE).
 *
 * Call types served by this build:
 *   ZUN_CALL_PURCHASE (0) and ZUN_CALL_PURCHASE_CFU (2): a purchase. The
 *     engine first talks to the store server behind a wait window (the
 *     handshake), then runs the purchase wizard, a modal window on the
 *     calling thread, which must therefore be able to own windows. The call
 *     returns when the shopper closes the wizard: 0, with the final
 *     CartState in `cartStateOut` when the store handed one over (null
 *     otherwise), or the failure of the handshake.
 *   ZUN_CALL_CHECK_FOR_UPDATE (4): the silent update check, answered with
 *     ZUN_S_UPDATE_AVAILABLE, ZUN_S_NO_UPDATE or a failure; no window.
 * Every other call type is answered with ZUN_E_INVALID_REQUEST.
 *
 * Engine updates. A purchase call may find that the store offers a newer
 * engine build. It then downloads it into a temporary file and returns
 * ZUN_E_ENGINE_UPDATED at once, without a wizard, with the file's full path
 * in `updateFilePath` and `engineUpdated` set to 1. The client library then:
 *   1. checks that the file is an engine build (it exports EntryPoint and
 *      carries a file version);
 *   2. unloads the engine (FreeLibrary / dlclose);
 *   3. puts the file in the engine file's place, atomically (for example by
 *      copying it next to the engine file and renaming it over it), keeping
 *      the old file until the next call has succeeded;
 *   4. loads the engine again and repeats the purchase call with the same
 *      record, `engineUpdated` still 1: the new engine then skips the update
 *      query and goes on to the purchase.
 * The engine never installs anything itself. A download that fails leaves
 * its partly written temporary file behind.
 *
 * Threads. The engine serves one call at a time: EntryPoint holds one
 * engine-wide lock for its whole run, so a call from a second thread waits
 * until the running one returns. The lock is recursive: a call made on the
 * same thread while one runs (from a window procedure during the purchase
 * wizard's modal loop) runs at once, nested in the other. A nested silent
 * update check runs as usual; a nested purchase is refused at once with
 * ZUN_E_WIZARD_RUNNING, touching nothing of the running wizard (no request
 * is sent, so it is never a network failure). The engine module's
 * information (its file path and version) is read afresh under the lock at
 * the start of every call.
 *
 * The store server. Requests go to the engine's store host,
 * "store.orvella.com". The environment variable ZUN_STORE_HOST, read when the
 * engine loads, replaces it and may carry a port ("127.0.0.1:8080",
 * "[::1]:8080"). A value that names no host (too long, or with a path or
 * blanks) makes every store request fail with ZUN_E_INVALID_ARG; it never
 * falls back to the store's own host.
 *
 * Memory handed back. `cartStateOut` is a block of the process heap: free it
 * with HeapFree(GetProcessHeap(), 0, p) on Windows and with free(p) on Linux.
 */
#ifndef ZUNSERVER_ZUNSERVER_H
#define ZUNSERVER_ZUNSERVER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define ZUN_CALL __stdcall
#else
#define ZUN_CALL
#endif

#if defined(_WIN32)
#define ZUN_EXPORT
#else
#define ZUN_EXPORT __attribute__((visibility("default")))
#endif

/* A 32-bit status in the HRESULT layout: 0 is success, bit 31 failure,
 * bit 29 marks the engine's own values. */
typedef uint32_t ZunStatus;

/* Call types (GatewayRecord.callType). */
#define ZUN_CALL_PURCHASE          0u /* handshake, then the purchase wizard */
#define ZUN_CALL_PURCHASE_CFU      2u /* purchase opened as check-for-update purchase */
#define ZUN_CALL_CHECK_FOR_UPDATE  4u /* silent check for a product update */

/* The engine's own status values. */
#define ZUN_S_UPDATE_AVAILABLE     ((ZunStatus)0x60000006u) /* a product update is available */
#define ZUN_S_NO_UPDATE            ((ZunStatus)0x60000007u) /* no product update is available */
#define ZUN_I_ALREADY_RETRIED      ((ZunStatus)0xA4020000u) /* request error handler: retried once already */
#define ZUN_I_NOT_HANDLED          ((ZunStatus)0xA4020001u) /* request error handler: not an error it handles */
#define ZUN_E_OFFLINE              ((ZunStatus)0xA4020003u) /* shown when the network is offline */
#define ZUN_E_INVALID_REQUEST      ((ZunStatus)0xE0000000u) /* null record, wrong size, call type not served */
#define ZUN_E_BLOB_RESIZE          ((ZunStatus)0xE0010005u) /* a CartState buffer could not be resized */
#define ZUN_E_NETWORK              ((ZunStatus)0xE0020000u) /* network failure */
#define ZUN_E_AUTH_NOT_ALLOWED     ((ZunStatus)0xE0020002u) /* server wants authentication, may not prompt */
#define ZUN_E_DEVICE_FAILED        ((ZunStatus)0xE0020003u) /* connection device failed, user did not retry */
#define ZUN_E_CERT_VIEWER          ((ZunStatus)0xE0030000u) /* certificate viewer could not be loaded */
#define ZUN_E_INVALID_ARG          ((ZunStatus)0xE4000003u) /* an argument is not valid */
#define ZUN_E_NOT_FOUND            ((ZunStatus)0xE4000004u) /* key, element or value not there */
#define ZUN_E_BUFFER_TOO_SMALL     ((ZunStatus)0xE4000005u) /* the caller's output buffer is too small */
#define ZUN_E_READ_OUT_OF_BOUNDS   ((ZunStatus)0xE4000006u) /* read outside a byte buffer */
#define ZUN_E_BUFFER_GROW          ((ZunStatus)0xE4000007u) /* a byte buffer could not grow */
#define ZUN_E_INVALID_CARTSTATE    ((ZunStatus)0xE4000008u) /* a CartState blob is not valid */
#define ZUN_E_NO_EVENT_SLOT        ((ZunStatus)0xE400000Bu) /* no slot for another element connection */
#define ZUN_E_SESSION_CLOSED       ((ZunStatus)0xE400000Cu) /* request failed after its session closed */
#define ZUN_E_ENGINE_UPDATED       ((ZunStatus)0xE400000Fu) /* new engine in updateFilePath: install, call again */
#define ZUN_E_NO_PROMPT_ANSWER     ((ZunStatus)0xE4000011u) /* connection-error prompt got no answer */
#define ZUN_E_WIZARD_RUNNING       ((ZunStatus)0xE4000012u) /* purchase called while this engine's wizard runs */
#define ZUN_E_NOT_PINGED           ((ZunStatus)0xE4020001u) /* request on a session whose ping failed */

/* System status values the engine returns itself. */
#define ZUN_E_UNEXPECTED           ((ZunStatus)0x8000FFFFu) /* an unexpected fault, stopped inside the engine */
#define ZUN_E_POINTER              ((ZunStatus)0x80004003u) /* null interface pointer */
#define ZUN_E_OUT_OF_MEMORY        ((ZunStatus)0x8007000Eu) /* out of memory */
#define ZUN_E_BAD_TEXT_ARGUMENT    ((ZunStatus)0x80070057u) /* bounded text helper: invalid argument */
#define ZUN_E_TEXT_TRUNCATED       ((ZunStatus)0x8007007Au) /* bounded text helper: output was cut */
#define ZUN_E_CONTROL_NOT_FOUND    ((ZunStatus)0x8007058Du) /* a dialog control was not found */

/* The request and response record. Text fields point to zero-terminated
 * 8-bit strings owned by the caller. Offsets are those of 32-bit builds. */
typedef struct GatewayRecord {
    uint32_t size;                        /*   0 in: sizeof(GatewayRecord) */
    uint32_t reserved4;                   /*   4 */
    uint32_t callType;                    /*   8 in: ZUN_CALL_* */
    char *publisherID;                    /*  12 in, replaced during the call */
    const char *vantorID;                 /*  16 in: seller account identifier */
    const char *pc;                       /*  20 in */
    const char *serialNumberExtraData;    /*  24 in */
    uint32_t reserved28[6];               /*  28 */
    const char *trackingID;               /*  52 in: affiliate tracking identifier */
    const char *affiliateID;              /*  56 in: affiliate identifier */
    const char *couponName;               /*  60 in */
    uint32_t reserved64[4];               /*  64 */
    const char *actidc;                   /*  80 in */
    uint32_t reserved84;                  /*  84 */
    const char *skuRefNum;                /*  88 in: product SKU reference number */
    const char *tc;                       /*  92 in */
    const unsigned char *cartStateIn;     /*  96 in: optional binary CartState blob */
    int32_t wizardWidth;                  /* 100 out: wizard size for store pages */
    int32_t wizardHeight;                 /* 104 out */
    int32_t invoiceWidth;                 /* 108 out: wizard size for the invoice page */
    int32_t invoiceHeight;                /* 112 out */
    uint8_t interactive;                  /* 116 in, set: engine may show windows */
    uint8_t padding117[3];                /* 117 */
    unsigned char *cartStateOut;          /* 120 out: final CartState, process heap */
    char updateFilePath[260];             /* 124 out: downloaded engine build */
    uint32_t engineUpdated;               /* 384 in, out: 1 after an engine download */
    uint32_t reserved388;                 /* 388 */
} GatewayRecord;

#define ZUN_GATEWAY_RECORD_SIZE ((uint32_t)sizeof(GatewayRecord))

/* After the call, publisherID holds again the pointer the caller passed in:
 * the engine's own publisher-ID buffer lives only for the call. */
ZUN_EXPORT ZunStatus ZUN_CALL EntryPoint(GatewayRecord *iFace);

typedef ZunStatus(ZUN_CALL *ZunEntryPointFunction)(GatewayRecord *iFace);

#ifdef __cplusplus
}
#endif

#endif /* ZUNSERVER_ZUNSERVER_H */
