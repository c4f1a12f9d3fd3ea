// The certificate viewer on Linux: a modal dialog of the window system whose
// browser shows a page of the certificate's fields. It is a dialog like the
// wizard's, so the browser window lives, follows the dialog and closes as the
// wizard's does: closing the window is the dialog's close box.
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "base/trace.h"
#include "platform/browser.h"
#include "platform/cert.h"
#include "platform/posix/certificate_page.h"
#include "platform/ui.h"
#include "state/base64.h"

namespace zun::platform {

// Nothing to load: the browser starts when the viewer's window opens.
struct CertificateViewer {};

namespace {

// An exception stopped at the viewer's boundary.

// The page travels in its address: the browser needs nothing served, and the
// page gets an opaque origin of its own with no access to anything else.
std::string PageAddress(const std::string& page) {
    return "data:text/html;charset=utf-8;base64," +
           EncodeBase64(reinterpret_cast<const uint8_t*>(page.data()), page.size());
}

class CertificateViewerDialog final : public ui::DialogHandler, public browser::BrowserEvents {
public:
    explicit CertificateViewerDialog(std::string pageAddress) : _pageAddress(std::move(pageAddress)) {}

    // 0 when the person closed the window, or why it could not be shown.
    Status Run(ui::WindowHandle owner) {
        intptr_t code = 0;
        const Status status = ui::RunModalDialog(ui::kCertificateViewerTemplate, owner, *this, 0, &code);
        return status != 0 ? status : _failure;
    }

    intptr_t OnMessage(ui::WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t, bool& handled) override {
        _dialog = dialog;
        try {
            switch (message) {
                case ui::kMsgInitDialog:
                    handled = true;
                    OnInitDialog(dialog);
                    return 1;
                case ui::kMsgCommand:
                    // OK, or Cancel (the close box, Esc): the person is done.
                    if ((wParam & 0xFFFF) == ui::kIdOk || (wParam & 0xFFFF) == ui::kIdCancel) {
                        handled = true;
                        ui::EndDialog(dialog, static_cast<intptr_t>(wParam & 0xFFFF));
                    }
                    return 0;
                case ui::kMsgDestroy:
                    _browser.reset();
                    return 0;
                default:
                    return 0;
            }
        } catch (const std::exception& error) {
            ZUN_TRACE("ZUN_E: CertificateViewerDialog::OnMessage(0x%x): %s", message, error.what());
            Fail(ZUN_E_UNEXPECTED);
            return 0;
        }
    }

    void OnStatusBarMouse(ui::WindowHandle, uint32_t, uintptr_t, intptr_t) override {}

    void OnBrowserFailed(Status status) override {
        ZUN_TRACE("ZUN_E: CertificateViewerDialog::OnBrowserFailed(): Failure %u", status);
        Fail(status);
    }
    void OnBeforeNavigate2(const char*) override {}
    void OnDocumentComplete(const char*) override {}
    void OnDownloadBegin() override {}
    void OnDownloadComplete() override {}
    void OnProgressChange(int32_t, int32_t) override {}
    void OnSetSecureLockIcon(int32_t) override {}

private:
    void OnInitDialog(ui::WindowHandle dialog) {
        ui::SetCaption(dialog, "Certificate");
        Status status = browser::CreateBrowser(dialog, ui::kBrowserControlId, *this, &_browser);
        if (status == 0) status = _browser->Navigate(_pageAddress.c_str(), nullptr, nullptr);
        if (status != 0) {
            ZUN_TRACE("ZUN_E: CertificateViewerDialog::OnInitDialog(): Failure %u", status);
            Fail(status);
        }
    }

    // The viewer ends at once; the call reports the first failure.
    void Fail(Status status) {
        if (_failure == 0) _failure = status;
        ui::EndDialog(_dialog, -1);
    }

    std::string _pageAddress;
    ui::WindowHandle _dialog = nullptr;
    std::unique_ptr<browser::Browser> _browser;
    Status _failure = 0;
};

}  // namespace

Status LoadCertificateViewer(CertificateViewerRef* viewer) {
    viewer->reset(new (std::nothrow) CertificateViewer{});
    return *viewer == nullptr ? ZUN_E_OUT_OF_MEMORY : 0;
}

Status FindCertificateViewerEntry(CertificateViewer&) { return 0; }

Status RunCertificateViewer(CertificateViewer&, Certificate certificate, void* parentWindow) {
    try {
        CertificateViewerDialog dialog(PageAddress(posix::CertificatePage(posix::ReadCertificateFields(certificate))));
        return dialog.Run(static_cast<ui::WindowHandle>(parentWindow));
    } catch (const std::exception& error) {
        ZUN_TRACE("ZUN_E: RunCertificateViewer(): %s", error.what());
        return ZUN_E_UNEXPECTED;
    }
}

void UnloadCertificateViewer(CertificateViewer* viewer) { delete viewer; }

}  // namespace zun::platform
