#include "platform/posix/browser_reuse.h"

#include <mutex>
#include <thread>

#include "base/boundary.h"
#include "base/trace.h"
#include "platform/browser.h"

namespace zun::platform {
namespace posix {
namespace {

struct Keeper {
    std::mutex lock;
    std::thread::id thread;  // the thread of the open scope
    int depth = 0;           // nested scopes of that thread
    std::unique_ptr<ChromiumProcess> kept;
};

Keeper& TheKeeper() {
    static Keeper keeper;
    return keeper;
}

bool ScopeOpenHere(const Keeper& keeper) {
    return keeper.depth > 0 && keeper.thread == std::this_thread::get_id();
}

}  // namespace

std::unique_ptr<ChromiumProcess> TakeKeptBrowser(const BrowserLaunch& launch) {
    Keeper& keeper = TheKeeper();
    std::unique_ptr<ChromiumProcess> kept;
    {
        std::lock_guard<std::mutex> lock(keeper.lock);
        if (!ScopeOpenHere(keeper)) return nullptr;
        kept = std::move(keeper.kept);
    }
    if (kept == nullptr) return nullptr;
    if (kept->Launch() == launch && kept->Pipe().IsAlive()) {
        ZUN_TRACE("ZUN: TakeKeptBrowser(): the browser (pid %d) serves the next dialog", kept->Pipe().ProcessId());
        return kept;
    }
    // Gone since its dialog closed, or started otherwise than asked now:
    // ended here, where its process is reaped and its profile removed.
    ZUN_TRACE("ZUN: TakeKeptBrowser(): the kept browser (pid %d) is %s: ended", kept->Pipe().ProcessId(),
              kept->Pipe().IsAlive() ? "started otherwise" : "gone");
    kept->Stop();
    return nullptr;
}

void ReleaseBrowser(std::unique_ptr<ChromiumProcess> process) {
    if (process == nullptr) return;
    Keeper& keeper = TheKeeper();
    bool keep = false;
    {
        std::lock_guard<std::mutex> lock(keeper.lock);
        keep = ScopeOpenHere(keeper) && keeper.kept == nullptr;
    }
    keep = keep && !process->HasPeer() && process->Pipe().IsAlive() && process->ClearPages() == 0;
    if (keep) {
        std::lock_guard<std::mutex> lock(keeper.lock);
        // Only this thread keeps browsers while its scope is open.
        keeper.kept = std::move(process);
        return;
    }
    process->Stop();
}

}  // namespace posix

namespace browser {

SharedBrowserScope::SharedBrowserScope() {
    posix::Keeper& keeper = posix::TheKeeper();
    std::lock_guard<std::mutex> lock(keeper.lock);
    if (keeper.depth > 0 && keeper.thread != std::this_thread::get_id()) return;  // another thread's
    keeper.thread = std::this_thread::get_id();
    ++keeper.depth;
    _active = true;
}

SharedBrowserScope::~SharedBrowserScope() {
    if (!_active) return;
    posix::Keeper& keeper = posix::TheKeeper();
    std::unique_ptr<posix::ChromiumProcess> ending;
    {
        std::lock_guard<std::mutex> lock(keeper.lock);
        if (--keeper.depth > 0) return;
        ending = std::move(keeper.kept);
    }
    // The scope ends at the end of a call: nothing may leave it.
    try {
        if (ending != nullptr) ending->Stop();
    }
    ZUN_CATCH_LOG()
}

}  // namespace browser
}  // namespace zun::platform
