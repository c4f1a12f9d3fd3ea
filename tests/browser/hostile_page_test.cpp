// Page script can call the click binding with anything: what it sends is
// checked, a report that makes no sense is dropped, and the dialog goes on.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "browser/browser_environment.h"

namespace zun {
namespace {

using testing::TheBrowser;
using testing::ThePages;

class CountingSink final : public platform::dom::ClickSink {
public:
    bool OnClick(const platform::dom::ElementRef& source) override {
        ++clicks;
        std::string id;
        if (source != nullptr) source->GetId(&id);
        lastId = id;
        return false;
    }
    int clicks = 0;
    std::string lastId;
};

TEST(HostilePage, MalformedClickReportsAreDroppedAndTheDialogGoesOn) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/links.html")));
    CountingSink sink;
    std::unique_ptr<platform::dom::ClickConnection> connection;
    TheBrowser().Do([&] {
        platform::dom::ElementRef link;
        ASSERT_EQ(TheBrowser().Browser().FindElement("document.getElementById('plain')", &link), 0u);
        ASSERT_NE(link, nullptr);
        ASSERT_EQ(link->ConnectClick(platform::dom::ClickEvents::Anchor, sink, &connection), 0u);
    });
    const char* const payloads[] = {
        "'not json'",
        "'[1, 2]'",
        "'{\"c\": \"1\", \"t\": 0}'",
        "'{\"c\": 1}'",
        "'{\"c\": 1, \"t\": \"0\"}'",
        "'{\"c\": 1, \"t\": -1}'",
        "'{\"c\": 1e300, \"t\": 0}'",
        "'{\"c\": 1, \"t\": 1e300}'",
        "'{\"c\": 18446744073709551615, \"t\": 99999999999999}'",
        "'{\"c\": 1, \"t\": 0, \"x\": ' + '['.repeat(100000) + ']'.repeat(100000) + '}'",
        "'['.repeat(1000000)",
        "'\\u0000' + 'x'.repeat(1 << 20)",
    };
    for (const char* payload : payloads) {
        Status status = 1;
        TheBrowser().Do([&] {
            platform::dom::ElementRef ignored;
            status = TheBrowser().Browser().FindElement(
                (std::string("__zunClick(") + payload + "), null").c_str(), &ignored);
        });
        EXPECT_EQ(status, 0u) << payload;
    }
    // Wrong types for the binding itself are refused by the page.
    TheBrowser().Do([&] {
        platform::dom::ElementRef ignored;
        TheBrowser().Browser().FindElement("try { __zunClick(1) } catch (e) {}; try { __zunClick({}) } catch (e) {}; null",
                                           &ignored);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(TheBrowser().Ended());
    EXPECT_EQ(TheBrowser().Count("BrowserFailed"), 0u);

    // A real click still arrives.
    TheBrowser().Do([&] {
        platform::dom::ElementRef link;
        TheBrowser().Browser().FindElement("document.getElementById('plain')", &link);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(TheBrowser().Browser().Click(*link), 0u);
    });
    for (int i = 0; i < 100; ++i) {
        int clicks = 0;
        TheBrowser().Do([&] { clicks = sink.clicks; });
        if (clicks >= 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    TheBrowser().Do([&] {
        EXPECT_EQ(sink.clicks, 1);
        EXPECT_EQ(sink.lastId, "plain");
        connection.reset();
    });
}

}  // namespace
}  // namespace zun
