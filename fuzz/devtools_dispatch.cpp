// Arbitrary bytes as the browser's side of the DevTools pipe: a session is
// attached to a page of an in-process peer inside a real (headless) dialog,
// then every NUL-separated piece of the input is either delivered as a
// message from the browser or, while the engine waits for a reply, taken as
// that reply (its "id" set to the command's when it is an object). Events,
// replies and binding calls all reach the code that reads them.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/browser.h"
#include "platform/posix/chromium_session.h"
#include "platform/ui.h"
#include "quiet_trace.h"

namespace {

using zun::platform::posix::ChromiumSession;
using zun::platform::posix::Json;
namespace ui = zun::platform::ui;
namespace dom = zun::platform::dom;

// What the browser answers while the session attaches.
Json AttachReply(const std::string& method) {
    if (method == "Target.getTargets") {
        return {{"targetInfos", Json::array({{{"type", "page"}, {"targetId", "T"}}})}};
    }
    if (method == "Target.attachToTarget") return {{"sessionId", "S"}};
    if (method == "Page.getFrameTree") return {{"frameTree", {{"frame", {{"id", "F"}}}}}};
    if (method == "Browser.getWindowForTarget") return {{"windowId", 1}};
    if (method == "Runtime.callFunctionOn") return {{"result", {{"type", "undefined"}}}};
    return Json::object();
}

class Peer {
public:
    std::deque<std::string> pieces;
    bool scripted = false;  // replies come from the input
    ChromiumSession* session = nullptr;

    void OnCommand(const std::string& text) {
        const Json command = Json::parse(text);
        Json reply;
        if (!scripted) {
            reply = {{"id", command["id"]}, {"result", AttachReply(command["method"].get<std::string>())}};
            session->Pipe()->Dispatch(reply.dump());
            return;
        }
        if (!pieces.empty()) {
            std::string piece = std::move(pieces.front());
            pieces.pop_front();
            reply = zun::platform::posix::ParseReceived(piece);
            if (reply.is_object()) {
                reply["id"] = command["id"];
                session->Pipe()->Dispatch(reply.dump(-1, ' ', false, Json::error_handler_t::replace));
                return;
            }
            session->Pipe()->Dispatch(piece);
        }
        // Every call gets an answer, so that none waits out its time limit.
        reply = {{"id", command["id"]}, {"error", {{"message", "no reply in the input"}}}};
        session->Pipe()->Dispatch(reply.dump());
    }
};

class Events final : public zun::platform::browser::BrowserEvents {
public:
    void OnBeforeNavigate2(const char*) override {}
    void OnDocumentComplete(const char*) override {}
    void OnDownloadBegin() override {}
    void OnDownloadComplete() override {}
    void OnProgressChange(int32_t, int32_t) override {}
    void OnSetSecureLockIcon(int32_t) override {}
    void OnBrowserFailed(zun::Status) override {}
};

// Reads what it can of the clicked element, as the engine's receivers do.
class Sink final : public dom::ClickSink {
public:
    bool OnClick(const dom::ElementRef& source) override {
        if (source == nullptr) return false;
        std::string text;
        source->GetId(&text);
        source->GetTagName(&text);
        std::optional<std::string> attribute;
        source->GetAttribute("href", &attribute);
        int32_t index = 0;
        source->GetSourceIndex(&index);
        dom::ElementRef parent;
        source->GetParentElement(&parent);
        return false;
    }
};

class Dialog final : public ui::DialogHandler {
public:
    explicit Dialog(std::deque<std::string> input) { _peer.pieces = std::move(input); }

    intptr_t OnMessage(ui::WindowHandle dialog, uint32_t message, uintptr_t, intptr_t, bool& handled) override {
        if (message != ui::kMsgInitDialog) {
            handled = message == ui::kMsgClose || message == ui::kMsgCommand;
            if (handled) ui::EndDialog(dialog, 1);
            return 0;
        }
        _session = std::make_shared<ChromiumSession>(dialog, _events);
        _peer.session = _session.get();
        if (_session->OpenWithPeer([this](const std::string& text) { _peer.OnCommand(text); }) == 0) {
            int connection = 0;
            _session->ConnectClick("O", _sink, &connection);
            _peer.scripted = true;
            while (!_peer.pieces.empty()) {
                std::string piece = std::move(_peer.pieces.front());
                _peer.pieces.pop_front();
                _session->Pipe()->Dispatch(piece);
            }
        }
        // After the events the pieces were turned into have been delivered.
        ui::PostWindowTask(dialog, [this, dialog] {
            _session->Close();
            ui::EndDialog(dialog, 0);
        });
        return 1;
    }
    void OnStatusBarMouse(ui::WindowHandle, uint32_t, uintptr_t, intptr_t) override {}

private:
    Peer _peer;
    Events _events;
    Sink _sink;
    std::shared_ptr<ChromiumSession> _session;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    std::deque<std::string> pieces;
    std::string piece;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    pieces.push_back(std::move(piece));
    Dialog dialog(std::move(pieces));
    intptr_t code = 0;
    ui::RunModalDialog(ui::kWizardDialogTemplate, nullptr, dialog, 0, &code);
    return 0;
}
