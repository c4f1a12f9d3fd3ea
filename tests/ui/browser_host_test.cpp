// The Windows browser host, under Wine: the control is created and activated
// in place in the wizard's template, takes a navigation with a POST body and
// reads the host flags from its site. Wine renders no pages, so page content
// is tested on Linux.
#include <gtest/gtest.h>

#include "platform/browser.h"
#include "platform/win32/browser_win32.h"
#include "ui/test_dialog.h"

namespace zun {
namespace {

namespace ui = platform::ui;
namespace browser = platform::browser;

class CountingEvents final : public browser::BrowserEvents {
public:
    void OnBeforeNavigate2(const char*) override { ++beforeNavigate; }
    void OnDocumentComplete(const char*) override {}
    void OnDownloadBegin() override {}
    void OnDownloadComplete() override {}
    void OnProgressChange(int32_t, int32_t) override {}
    void OnSetSecureLockIcon(int32_t) override {}
    void OnBrowserFailed(Status) override {}
    int beforeNavigate = 0;
};

TEST(BrowserHost, ControlIsActivatedInPlaceTakesHostFlagsAndNavigates) {
    testing::TestDialog dialog;
    CountingEvents events;
    dialog.onInit = [&](ui::WindowHandle self) {
        std::unique_ptr<browser::Browser> control;
        EXPECT_EQ(browser::CreateBrowser(self, 4242, events, &control), ZUN_E_CONTROL_NOT_FOUND);
        ASSERT_EQ(browser::CreateBrowser(self, ui::kBrowserControlId, events, &control), 0u);
        auto& host = static_cast<platform::win32::Win32Browser&>(*control);
        EXPECT_TRUE(host.IsInPlaceActive());
        EXPECT_EQ(host.HostFlagsSeenByControl(), 0u);
        ASSERT_EQ(control->SetHostFlags(0x0D | 0x40000), 0u);
        EXPECT_EQ(host.HostFlagsSeenByControl(), 0x4000Du);

        // The body goes as the VT_ARRAY | VT_UI1 argument; the control takes
        // the call even where it cannot show the page.
        platform::PostDataArgument body;
        const uint8_t bytes[] = {'a', '=', 0x02, 0xFF};
        ASSERT_EQ(body.Assign(bytes, sizeof bytes), 0u);
        EXPECT_EQ(control->Navigate("http://127.0.0.1:9/secure/Prefill.aspx", &body,
                                    "Content-Type: application/x-www-form-urlencoded\r\n"),
                  0u);
        EXPECT_EQ(control->Navigate(nullptr, nullptr, nullptr), ZUN_E_INVALID_ARG);
        control.reset();
        ui::EndDialog(self, 1);
    };
    EXPECT_EQ(dialog.Run(), 1);
}

}  // namespace
}  // namespace zun
