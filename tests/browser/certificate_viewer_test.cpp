// The certificate viewer in a real browser: opened from a parent dialog as
// the wizard's status bar opens it, read from outside through a DevTools port
// of the viewer's own browser as automation attaches, and closed with the
// close box's WM_CLOSE.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cert/certificatemanager.h"
#include "child_process.h"
#include "platform/ui.h"
#include "shopper/test_certificates.h"
#include "ui/test_dialog.h"

namespace zun {
namespace {

using Json = nlohmann::json;
using testing::CliField;
using testing::PageTime;
using testing::TestCertificateFile;
using platform::ui::WindowHandle;
using namespace std::chrono_literals;

constexpr int kDevToolsPort = 9350;

// The page titled "Certificate" as read_page.py reports it.
Json ReadViewerPage() {
    testing::ChildProcess reader(
        {"/usr/bin/python3", ZUN_READ_PAGE, ZUN_SHOPPER, std::to_string(kDevToolsPort), "Certificate"});
    return Json::parse(reader.ReadLine(), nullptr, false);
}

// DisplayCertificate on a thread of its own, called from the loop of a parent
// dialog as a click on the wizard's status bar calls it; the parent ends
// when the call returns.
class ViewerCall : public testing::DialogRunner {
public:
    explicit ViewerCall(std::string certificateText) : _text(std::move(certificateText)) {
        _parent.onInit = [this](WindowHandle self) {
            Record([&] { _parentWindow = self; });
            platform::ui::PostWindowTask(self, [this, self] {
                CertificateManager manager;
                Status status = manager.HookupCertificate(_text.c_str());
                if (status == 0) status = manager.DisplayCertificate(self);
                Record([&] { _status = status; });
                platform::ui::EndDialog(self, 0);
            });
        };
        Start([this] { return _parent.Run(); });
    }
    ~ViewerCall() override {
        // A viewer that a failed test left open is closed as the person would.
        for (int attempt = 0; attempt < 60 && !WaitForEnd(1s); ++attempt) {
            if (const WindowHandle viewer = TopWindow()) {
                platform::ui::SendWindowMessage(viewer, platform::ui::kMsgClose, 0, 0, nullptr);
            }
        }
        Join();
    }

    // The newest dialog of the parent's thread: the viewer once it is open.
    WindowHandle TopWindow() {
        WindowHandle parent = nullptr;
        if (!WaitFor([&] { return (parent = _parentWindow) != nullptr; }, 30s)) return nullptr;
        auto active = std::make_shared<WindowHandle>(nullptr);
        if (!Do(parent, [active] { *active = platform::ui::GetActiveWindow(); })) return nullptr;
        return *active == parent ? nullptr : *active;
    }
    Status Result() {
        Status status = 1;
        WaitFor([&] { return (status = _status), true; }, 0s);
        return status;
    }

private:
    std::string _text;
    testing::TestDialog _parent;
    WindowHandle _parentWindow = nullptr;
    Status _status = 1;
};

// Shows the certificate, checks the page against what the openssl CLI reads
// from it, and closes the viewer with WM_CLOSE as the close box does.
void ShowReadAndClose(const std::string& name) {
    SCOPED_TRACE(name);
    // The viewer's browser also listens on a DevTools port.
    const std::string flags = std::getenv("ZUN_BROWSER_FLAGS");
    setenv("ZUN_BROWSER_FLAGS", (flags + " --remote-debugging-port=" + std::to_string(kDevToolsPort)).c_str(), 1);
    ViewerCall call(TestCertificateFile(name + ".b64"));
    const Json page = ReadViewerPage();
    setenv("ZUN_BROWSER_FLAGS", flags.c_str(), 1);
    ASSERT_TRUE(page.is_object()) << page.dump();
    const std::string facts = TestCertificateFile(name + ".txt");
    const Json rows = page.value("rows", Json::object());
    EXPECT_EQ(rows.value("Subject", ""), CliField(facts, "subject"));
    EXPECT_EQ(rows.value("Issuer", ""), CliField(facts, "issuer"));
    EXPECT_EQ(testing::WithoutColons(rows.value("Serial number", "")), CliField(facts, "serial"));
    EXPECT_EQ(rows.value("Valid from", ""), PageTime(CliField(facts, "notBefore")));
    EXPECT_EQ(rows.value("Valid to", ""), PageTime(CliField(facts, "notAfter")));
    EXPECT_EQ(rows.value("SHA-256 fingerprint", ""), CliField(facts, "sha256 Fingerprint"));
    EXPECT_EQ(page.value("scripts", -1), 0);
    EXPECT_EQ(page.value("images", -1), 0);
    EXPECT_FALSE(page.value("injected", true));

    const WindowHandle viewer = call.TopWindow();
    ASSERT_NE(viewer, nullptr);
    EXPECT_FALSE(call.Ended());  // modal: the call waits for the person
    ASSERT_EQ(platform::ui::SendWindowMessage(viewer, platform::ui::kMsgClose, 0, 0, nullptr), 0u);
    ASSERT_TRUE(call.WaitForEnd(20s));
    EXPECT_EQ(call.Result(), 0u);
    EXPECT_FALSE(platform::ui::IsWindow(viewer));
}

// The subject of "markup" holds "<script>": it is text on the page and
// nothing of it runs.
TEST(CertificateViewer, ShowsTheFieldsAsTextUntilThePersonClosesIt) {
    EXPECT_THAT(CliField(TestCertificateFile("markup.txt"), "subject"),
                ::testing::HasSubstr("CN = <script>zunInjected=1</script>"));
    for (const char* name : {"capitals", "markup"}) ShowReadAndClose(name);
}

TEST(CertificateViewer, MissingBrowserFailsPromptly) {
    setenv("ZUN_BROWSER_PATH", "/nonexistent", 1);
    CertificateManager manager;
    const Status hooked = manager.HookupCertificate(TestCertificateFile("capitals.b64").c_str());
    const Status status = manager.DisplayCertificate(nullptr);
    unsetenv("ZUN_BROWSER_PATH");
    EXPECT_EQ(hooked, 0u);
    EXPECT_NE(status, 0u);
}

}  // namespace
}  // namespace zun
