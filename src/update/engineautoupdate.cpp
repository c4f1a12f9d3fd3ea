#include "update/engineautoupdate.h"

#include <cstdio>
#include <functional>
#include <system_error>
#include <thread>

#include "base/boundary.h"
#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "base/trace.h"
#include "gateway/engine_module_info.h"
#include "net/store_host.h"
#include "net/store_requests.h"
#include "platform/module.h"
#include "state/cartstate.h"
#include "update/engine_update_check.h"
#include "update/wait_window_notices.h"

namespace zun {
namespace {

constexpr size_t kTempPathSize = 260;
// Room for the base64 text of a DER ECDSA P-256 signature (at most 96
// characters); a longer value is cut and then fails to verify.
constexpr uint16_t kDownloadSignatureSize = 256;

unsigned ThreadNumber(std::thread::id id) { return static_cast<unsigned>(std::hash<std::thread::id>{}(id)); }

Status Exit(HandShakeParams* hsp, Status status) {
    SendQuitMessageToProgressWindow();
    hsp->status = status;
    ZUN_TRACE("ZUN: Epilog DoInitialHandShakeInner(): hsp->status=0x%08X", status);
    return status;
}

// The running engine's own file version, read from its module file.
platform::FileVersion RunningEngineVersion() {
    char path[EngineModuleInfo::kMaxPath + 1];
    if (platform::GetEngineModulePath(path, sizeof path) != 0) return {};
    return platform::ReadFileVersion(path);
}

// An offered update that is not taken: the file goes, and the handshake goes
// on as though none had been offered.
Status RefuseEngineUpdate(const char* reason, const char* path) {
    if (path != nullptr) std::remove(path);
    ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): engine update refused: %s", reason);
    return 0;
}

// Downloads the engine build that DOWNLOADURL names into a fresh temporary
// file and names it in the record when the engine trusts it
// (ZUN_E_ENGINE_UPDATED). 0 when it is refused; the session's status when
// the session was closed meanwhile.
Status DownloadEngineUpdate(HandShakeParams* hsp, const char* downloadUrl, const char* signature) {
    if (const char* refusal = RefusalBeforeDownload(signature)) return RefuseEngineUpdate(refusal, nullptr);
    // The file is fetched from the store host only; a URL that names another
    // server is never quietly sent there.
    if (!hsp->session->NamesSessionServer(downloadUrl)) {
        return RefuseEngineUpdate("the download URL names another server than the store host", nullptr);
    }
    char path[kTempPathSize];
    EngineUpdateFile file;
    const Status created = file.Create(kEngineUpdateFilePrefix, path, sizeof path);
    if (created != 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): GetTempFileName(): Failure %u", created);
        return RefuseEngineUpdate("no temporary file", nullptr);
    }
    GatewayRecord& record = *hsp->iFace;
    if (record.interactive != 0) SendEngineUpdateNotice();
    const Status downloaded = hsp->session->DownloadFile(downloadUrl, file);
    uint8_t digest[platform::signature::kDigestSize];
    const bool finished = file.Finish(digest);
    if (downloaded != 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): InetBlock::DownloadFile(): Failure 0x%08X", downloaded);
        if (hsp->session->Closed()) {
            std::remove(path);
            return downloaded;
        }
        return RefuseEngineUpdate(file.TooLarge() ? "the file is larger than an engine build may be"
                                                  : "the download failed",
                                  path);
    }
    if (!finished) return RefuseEngineUpdate("the file could not be written", path);
    if (const char* refusal = RefusalOfDownload(path, digest, signature, RunningEngineVersion())) {
        return RefuseEngineUpdate(refusal, path);
    }
    CopyText(record.updateFilePath, sizeof record.updateFilePath, path);
    record.engineUpdated = 1;
    ZUN_TRACE("ZUN: DoInitialHandShakeInner(): File Downloaded to %s successfully.", record.updateFilePath);
    return ZUN_E_ENGINE_UPDATED;
}

// Asks for a newer engine. 0 when there is none.
Status CheckForEngineUpdate(HandShakeParams* hsp) {
    char url[kRequestUrlSize];
    BuildEngineUpdateUrl(url, sizeof url, StoreHost(), *hsp->iFace, TheEngineModuleInfo().versionText);
    uint8_t* reply = nullptr;
    Status status = hsp->session->PageGET(url, &reply, nullptr);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): InetBlock::PageGET(CHECKFORIEENGINEUPDATE): Failure 0x%08X",
                  status);
        heap::Release(reply);
        return status;
    }
    if (reply == nullptr) return ZUN_E_NOT_FOUND;
    CartState state;
    status = LoadReply(state, reply);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): CartState::SetCartState(): Failure 0x%08X", status);
        return status;
    }
    // One byte more than the value's buffer keeps the longest value terminated.
    char downloadUrl[kDownloadUrlSize + 1] = {};
    if (state.GetValue("DOWNLOADURL", downloadUrl, kDownloadUrlSize) != 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): CartState::GetValue(DOWNLOADURL): not found");
        return ZUN_E_NOT_FOUND;
    }
    if (downloadUrl[0] == '\0') {
        ZUN_TRACE("ZUN: DoInitialHandShakeInner(): No engine update available.");
        return 0;
    }
    char signature[kDownloadSignatureSize + 1] = {};
    if (state.GetValue("DOWNLOADSIGNATURE", signature, kDownloadSignatureSize) != 0) signature[0] = '\0';
    return DownloadEngineUpdate(hsp, downloadUrl, signature);
}

// Reads the wizard's sizes, the publisher identifier and the certificate.
Status GetLayoutSize(HandShakeParams* hsp) {
    GatewayRecord& record = *hsp->iFace;
    char url[kRequestUrlSize];
    BuildLayoutUrl(url, sizeof url, StoreHost(), record);
    uint8_t* reply = nullptr;
    Status status = hsp->session->PageGET(url, &reply, nullptr);
    if (static_cast<int32_t>(status) < 0 || reply == nullptr) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): GetLayoutSize(): InetBlock::PageGET(): Failure 0x%08X", status);
        heap::Release(reply);
        return status != 0 ? status : ZUN_E_NOT_FOUND;
    }
    CartState state;
    status = LoadReply(state, reply);
    if (static_cast<int32_t>(status) < 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): GetLayoutSize(): CartState::SetCartState(): Failure 0x%08X",
                  status);
        return status;
    }

    struct Size {
        const char* key;
        int32_t* field;
    };
    const Size sizes[] = {{"HEIGHT", &record.wizardHeight},
                          {"WIDTH", &record.wizardWidth},
                          {"I_WIDTH", &record.invoiceWidth},
                          {"I_HEIGHT", &record.invoiceHeight}};
    for (const Size& size : sizes) {
        char value[kLayoutNumberSize];
        if (state.GetValue(size.key, value, sizeof value) != 0) {
            ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): GetLayoutSize(): CartState::GetValue(%s): not found",
                      size.key);
            return ZUN_E_NOT_FOUND;
        }
        *size.field = ParseDecimal(TextInBuffer(value));
    }
    ZUN_TRACE("ZUN: DoInitialHandShakeInner(): GetLayoutSize(): wizard %d x %d, invoice %d x %d",
              record.wizardWidth, record.wizardHeight, record.invoiceWidth, record.invoiceHeight);

    if (record.publisherID != nullptr) {
        // The identifier stays terminated inside its buffer: a value that
        // fills it is cut by one.
        const uint16_t room = kPublisherIdSize - 1;
        if (state.GetValue("PUBLISHERID", record.publisherID, room) != 0 || record.publisherID[0] == '\0') {
            ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): GetLayoutSize(): PUBLISHERID missing or empty");
            return ZUN_E_INVALID_REQUEST;
        }
        record.publisherID[room] = '\0';
    }

    // One byte beyond the value's room keeps the text terminated.
    char* certificate = static_cast<char*>(heap::Allocate(kCertificateBlobSize + 1));
    if (certificate == nullptr) return ZUN_E_OUT_OF_MEMORY;
    if (state.GetValue("CERTIFICATEBLOB", certificate, kCertificateBlobSize) == 0) {
        *hsp->certificateBlob = certificate;
    } else {
        ZUN_TRACE("ZUN: DoInitialHandShakeInner(): GetLayoutSize(): The reply carries no certificate.");
        heap::Release(certificate);
    }
    return 0;
}

Status RunHandShake(HandShakeParams* hsp) {
    GatewayRecord& record = *hsp->iFace;
    Status status = hsp->session->OpenNetwork(StoreHost(), 0, record.interactive);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: DoInitialHandShakeInner(): InetBlock::OpenNetwork(): Failure 0x%08X", status);
        return status;
    }
    if (record.engineUpdated != 0) {
        ZUN_TRACE("ZUN: DoInitialHandShakeInner(): The engine was updated already; no update query.");
    } else {
        status = CheckForEngineUpdate(hsp);
        if (status != 0) return status;
    }
    return GetLayoutSize(hsp);
}

// The worker thread's entry: nothing thrown leaves it, and the wait window
// closes whatever happens.
void HandShakeThread(HandShakeParams* hsp) {
    try {
        DoInitialHandShakeInner(hsp);
    } catch (...) {
        hsp->status = TraceCaughtException(__FILE__, __LINE__, __func__);
        SendQuitMessageToProgressWindow();
    }
}

// Ends the worker however the calling thread leaves: the wait window is
// marked gone and the session closed first, so that neither a question
// waiting for the window nor a transfer under way keeps the join waiting.
class WorkerJoin {
public:
    WorkerJoin(InetBlock& session, std::thread& worker) : _session(session), _worker(worker) {}
    ~WorkerJoin() { Join(); }
    WorkerJoin(const WorkerJoin&) = delete;
    WorkerJoin& operator=(const WorkerJoin&) = delete;

    void Join() {
        if (!_worker.joinable()) return;
        EndWaitWindowNotices();
        _session.CloseNetwork();
        _worker.join();
    }

private:
    InetBlock& _session;
    std::thread& _worker;
};

}  // namespace

Status DoInitialHandShakeInner(HandShakeParams* hsp) {
    ZUN_TRACE("ZUN: Prolog DoInitialHandShakeInner(hsp=0x%p)", static_cast<void*>(hsp));
    return Exit(hsp, RunHandShake(hsp));
}

Status DoInitialHandShake(GatewayRecord* iFace, char** certificateBlob, WaitWindowHost& waitWindow) {
    ZUN_TRACE("ZUN: Prolog DoInitialHandShake(): iFace->publisherID=0x%p", static_cast<void*>(iFace->publisherID));
    HandShakeParams hsp;
    hsp.iFace = iFace;
    hsp.certificateBlob = certificateBlob;

    InetCallbacks callbacks;
    callbacks.pfnProgress = OnDownloadProgressEvent;
    callbacks.pfnConnectionError = OnConnectionErrorEvent;
    callbacks.pfnConnectionTimer = OnConnectionTimerUpdate;
    InetBlock session(callbacks);
    hsp.session = &session;
    hsp.status = 0;

    BeginWaitWindowNotices(waitWindow);
    waitWindow.ResetWaitClose();
    std::thread worker;
    try {
        worker = std::thread(HandShakeThread, &hsp);
    } catch (const std::system_error& failure) {
        ZUN_TRACE("ZUN_E: DoInitialHandShake(): Error spawning worker thread.");
        return static_cast<Status>(failure.code().value());
    }
    ZUN_TRACE(
        "ZUN: DoInitialHandShake(): Parent thread (id=%u) launched handshake thread (id=%u), preparing to run "
        "visual wizard.",
        ThreadNumber(std::this_thread::get_id()), ThreadNumber(worker.get_id()));
    WorkerJoin join(session, worker);
    MarkWaitWizardStart();

    waitWindow.RunWaitWizard();

    ZUN_TRACE("ZUN: DoInitialHandShake(): The wizard has returned. Closing network.");
    // A transfer still under way is aborted; the worker then ends promptly.
    join.Join();

    ZUN_TRACE("ZUN: Epilog DoInitialHandShake(): 0x%08X", hsp.status);
    return hsp.status;
}

}  // namespace zun
