#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "browser/browser_environment.h"
#include "dom/html_element_event_receiver.h"

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

TEST(Receivers, TablesHold128OfEachKindAndRefuseForeignElements) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/pages/links.html")));
    TheBrowser().Do([] {
        Receiver::FreeEventConnections();
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
        Receiver::FreeEventConnections();
    });
}

}  // namespace
}  // namespace zun
