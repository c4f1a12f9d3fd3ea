#include "base/trace.h"
#include "platform/posix/chromium_browser.h"
#include "platform/posix/chromium_dom.h"
#include "platform/posix/chromium_session.h"
#include "platform/posix/json_fields.h"

namespace zun::platform {
namespace posix {

ChromiumBrowser::ChromiumBrowser(std::shared_ptr<ChromiumSession> session) : _session(std::move(session)) {}

ChromiumBrowser::~ChromiumBrowser() { _session->Close(); }

Status ChromiumBrowser::Navigate(const char* url, PostDataArgument* postData, const char* headers) {
    if (postData != nullptr && postData->HasBody()) {
        const std::vector<uint8_t> body = postData->Bytes();
        return _session->Navigate(url, &body, headers);
    }
    return _session->Navigate(url, nullptr, headers);
}

Status ChromiumBrowser::GetDocument(dom::DocumentRef* document) {
    if (document == nullptr) return ZUN_E_POINTER;
    *document = MakeRemoteDocument(_session);
    return 0;
}

Status ChromiumBrowser::SetHostFlags(uint32_t) {
    // The page fills the window: borders, scroll bars and themes are the
    // browser's own.
    return 0;
}

void ChromiumBrowser::TranslateKey(uint32_t, uint32_t) {
    // Keys go to the browser window directly.
}

Status ChromiumBrowser::Click(dom::Element& element) {
    const std::string objectId = RemoteObjectId(element);
    if (objectId.empty()) return ZUN_E_INVALID_ARG;
    return _session->ClickAt(objectId);
}

Status ChromiumBrowser::PressKey(const char* key, int windowsKeyCode, int modifiers) {
    if (key == nullptr) return ZUN_E_INVALID_ARG;
    return _session->PressKey(key, windowsKeyCode, modifiers);
}

Status ChromiumBrowser::GetWindowBounds(ui::Rect* bounds, std::string* state) {
    if (bounds == nullptr || state == nullptr) return ZUN_E_INVALID_ARG;
    return _session->GetWindowBounds(bounds, state);
}

std::string ChromiumBrowser::TargetId() { return _session->TargetId(); }

Status ChromiumBrowser::EvaluateNumbers(const char* expression, std::vector<double>* numbers) {
    if (expression == nullptr || numbers == nullptr) return ZUN_E_INVALID_ARG;
    Json value;
    const Status status = _session->Evaluate(expression, &value);
    if (status != 0) return status;
    if (!value.is_array()) return dom::kDomCallFailed;
    numbers->clear();
    for (size_t i = 0; i < value.size(); ++i) {
        const std::optional<double> number = NumberAt(value, i);
        if (!number) return dom::kDomCallFailed;
        numbers->push_back(*number);
    }
    return 0;
}

Status ChromiumBrowser::FindElement(const char* expression, dom::ElementRef* element) {
    if (expression == nullptr || element == nullptr) return ZUN_E_INVALID_ARG;
    std::string objectId;
    const Status status = _session->EvaluateForObject(expression, &objectId);
    if (status != 0) return status;
    *element = objectId.empty() ? nullptr : MakeRemoteElement(_session, objectId);
    return 0;
}

int ChromiumBrowser::PageCount() { return _session->PageCount(); }

std::string ChromiumBrowser::LastDialogMessage() { return _session->LastDialogMessage(); }

bool ChromiumBrowser::IsHeadless() const { return _session->IsHeadless(); }

int ChromiumBrowser::ProcessId() const { return _session->ProcessId(); }

}  // namespace posix

namespace browser {

Status CreateBrowser(ui::WindowHandle dialog, int controlId, BrowserEvents& events, std::unique_ptr<Browser>* out) {
    if (out == nullptr) return ZUN_E_POINTER;
    if (ui::GetDialogItem(dialog, controlId) == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    auto session = std::make_shared<posix::ChromiumSession>(dialog, events);
    const Status status = session->Open();
    if (status != 0) {
        session->Close();
        ZUN_TRACE("ZUN_E: CreateBrowser(): ChromiumSession::Open(): Failure %u", status);
        return status;
    }
    *out = std::make_unique<posix::ChromiumBrowser>(std::move(session));
    return 0;
}

}  // namespace browser
}  // namespace zun::platform
