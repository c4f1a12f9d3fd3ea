// Page script cannot act for the engine: it finds nothing of the engine's in
// its window to call, its own clicks do not count, and a link it points at a
// local file opens nothing even when a person clicks it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "browser/browser_environment.h"
#include "dom/html_element_event_receiver.h"
#include "trace_capture.h"

namespace zun {
namespace {

using testing::TheBrowser;
using testing::ThePages;

// Forged reports for every function of the page's window that a fresh window
// lacks, then the page's own clicks on a link it has pointed at a file.
constexpr char kHostileScript[] = R"((() => {
    const fresh = document.getElementById('inner').contentWindow;
    const forged = [];
    for (let c = 0; c < 8; ++c) for (let t = 0; t < 3; ++t) forged.push(JSON.stringify({c: c, t: t}));
    const link = document.getElementById('plain');
    link.href = 'file:///etc/hostname';
    window.__zunClickTargets = [link, document.getElementById('marked'), link];
    for (const name of Object.getOwnPropertyNames(window)) {
        if (name in fresh || typeof window[name] !== 'function') continue;
        for (const report of forged) { try { window[name](report); } catch (e) {} }
    }
    link.click();
    link.dispatchEvent(new MouseEvent('click', {bubbles: true}));
    document.getElementById('pic').click();
    return null;
})())";

int PageCount() {
    int pages = 0;
    TheBrowser().Do([&] { pages = TheBrowser().Browser().PageCount(); });
    return pages;
}

platform::dom::ElementRef Find(const char* id) {
    platform::dom::ElementRef element;
    EXPECT_EQ(TheBrowser().Browser().FindElement((std::string("document.getElementById('") + id + "')").c_str(),
                                                 &element),
              0u);
    return element;
}

TEST(HostilePage, ForgedClicksAndAFileLinkOpenNothingAndARealClickStillWorks) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/pages/links.html")));
    testing::TraceCapture trace;
    TheBrowser().Do([&] {
        for (const char* id : {"plain", "marked"}) {
            EXPECT_EQ(HtmlElementEventReceiver::AdviseEventReady(Find(id), &TheBrowser().Browser()), 0u) << id;
        }
    });
    const int pagesBefore = PageCount();
    TheBrowser().Do([&] {
        platform::dom::ElementRef ignored;
        EXPECT_EQ(TheBrowser().Browser().FindElement(kHostileScript, &ignored), 0u);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Nothing reached the engine's link handling.
    EXPECT_EQ(PageCount(), pagesBefore);
    EXPECT_THAT(trace.Messages(), ::testing::Not(::testing::Contains(::testing::HasSubstr("OnAnchorClick"))));
    EXPECT_FALSE(TheBrowser().Ended());
    EXPECT_EQ(TheBrowser().Count("BrowserFailed"), 0u);

    // A person's click on the file link opens nothing either.
    TheBrowser().Do([&] { EXPECT_EQ(TheBrowser().Browser().Click(*Find("plain")), 0u); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(PageCount(), pagesBefore);
    EXPECT_THAT(trace.Messages(), ::testing::Contains(::testing::HasSubstr("file:// is no web address: not opened")));

    // A person's click on a web link opens its window.
    TheBrowser().Do([&] { EXPECT_EQ(TheBrowser().Browser().Click(*Find("pic")), 0u); });
    for (int i = 0; i < 100 && PageCount() == pagesBefore; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(PageCount(), pagesBefore + 1);
    TheBrowser().Do([] { HtmlElementEventReceiver::FreeEventConnections(); });
}

}  // namespace
}  // namespace zun
