#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "browser/browser_environment.h"
#include "dom/html_element.h"
#include "dom/html_element_event_receiver.h"
#include "trace_capture.h"

namespace zun {
namespace {

using testing::TheBrowser;
using testing::ThePages;
using Receiver = HtmlElementEventReceiver;

platform::dom::ElementRef Find(const std::string& expression) {
    platform::dom::ElementRef element;
    EXPECT_EQ(TheBrowser().Browser().FindElement(expression.c_str(), &element), 0u);
    return element;
}

void ClickOn(const std::string& expression) {
    TheBrowser().Do([&] {
        platform::dom::ElementRef element = Find(expression);
        ASSERT_NE(element, nullptr);
        ASSERT_EQ(TheBrowser().Browser().Click(*element), 0u);
    });
}

class Receivers : public ::testing::Test {
protected:
    void TearDown() override {
        TheBrowser().Do([] { Receiver::FreeEventConnections(); });
    }
};

TEST_F(Receivers, MarkedLinkOpensInANewWindowAndThePageStays) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/pages/links.html")));
    int pagesBefore = 0;
    TheBrowser().Do([&] {
        pagesBefore = TheBrowser().Browser().PageCount();
        EXPECT_EQ(Receiver::AdviseEventReady(Find("document.getElementById('marked')"), &TheBrowser().Browser()), 0u);
        EXPECT_EQ(Receiver::AdviseEventReady(Find("document.getElementById('nohref')"), &TheBrowser().Browser()), 0u);
        EXPECT_EQ(Receiver::AnchorReceiverCount(), 2u);
    });
    TheBrowser().TakeEvents();

    // A click on the picture inside the link.
    ClickOn("document.getElementById('pic')");
    int pagesAfter = 0;
    for (int i = 0; i < 100 && pagesAfter <= pagesBefore; ++i) {
        TheBrowser().Do([&] { pagesAfter = TheBrowser().Browser().PageCount(); });
        if (pagesAfter <= pagesBefore) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(pagesAfter, pagesBefore + 1);

    // A link without an address does nothing.
    ClickOn("document.getElementById('nohrefspan')");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TheBrowser().Do([&] { EXPECT_EQ(TheBrowser().Browser().PageCount(), pagesAfter); });
    EXPECT_EQ(TheBrowser().Count("BeforeNavigate2"), 0u);
    char title[64] = "";
    TheBrowser().Do([&] {
        HtmlElement page;
        platform::dom::DocumentRef document;
        TheBrowser().Browser().GetDocument(&document);
        page.HookupDocument(document);
        page.GetDocumentTitleText(title, sizeof title);
    });
    EXPECT_STREQ(title, "Links");
}

TEST_F(Receivers, TablesHold128OfEachKindAndRefuseForeignElements) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/pages/links.html")));
    TheBrowser().Do([] {
        testing::TraceCapture trace;
        Receiver::FreeEventConnections();
        EXPECT_THAT(trace.Messages(),
                    ::testing::Contains("ZUN: HtmlElementEventReceiver::FreeEventConnections(): Currently 0 Connections"));
        for (size_t i = 0; i < Receiver::kTableSize; ++i) {
            ASSERT_EQ(Receiver::AdviseEventReady("nohrefspan", &TheBrowser().Browser()), 0u);
        }
        EXPECT_EQ(Receiver::AdviseEventReady("nohrefspan", &TheBrowser().Browser()), ZUN_E_NO_EVENT_SLOT);
        EXPECT_EQ(Receiver::AdviseEventReady(Find("document.getElementById('nohrefspan')"), &TheBrowser().Browser()),
                  ZUN_E_NO_EVENT_SLOT);
        EXPECT_EQ(Receiver::ElementReceiverCount(), Receiver::kTableSize);
        EXPECT_EQ(Receiver::AdviseEventReady(Find("document.getElementById('plain')"), &TheBrowser().Browser()), 0u);
        EXPECT_EQ(Receiver::AnchorReceiverCount(), 1u);

        // An element of another document: its source index leads to another tag.
        EXPECT_EQ(Receiver::AdviseEventReady(
                      Find("document.getElementById('inner').contentDocument.getElementById('foreign')"),
                      &TheBrowser().Browser()),
                  ZUN_E_INVALID_ARG);
        EXPECT_EQ(Receiver::AdviseEventReady(platform::dom::ElementRef(), &TheBrowser().Browser()), ZUN_E_INVALID_ARG);
        // An id the page lacks connects nothing.
        Receiver::FreeEventConnections();
        EXPECT_EQ(Receiver::AdviseEventReady("missing", &TheBrowser().Browser()), 0u);
        EXPECT_EQ(Receiver::ElementReceiverCount(), 0u);
        EXPECT_EQ(Receiver::AdviseEventReady("nohrefspan", nullptr), 0u);
        EXPECT_EQ(Receiver::ElementReceiverCount(), 0u);
    });
}

}  // namespace
}  // namespace zun
