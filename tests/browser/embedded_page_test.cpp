#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "browser/browser_environment.h"
#include "shopper/purchase_post_data.h"

namespace zun {
namespace {

using testing::BrowserEvent;
using testing::EmbeddedPageUrl;
using testing::TheBrowser;
using testing::ThePages;

// Whether a script expression of the shown page names an element.
bool PageHas(const char* expression) {
    bool found = false;
    TheBrowser().Do([&] {
        platform::dom::ElementRef element;
        ASSERT_EQ(TheBrowser().Browser().FindElement(expression, &element), 0u);
        found = element != nullptr;
    });
    return found;
}

std::vector<std::string> NavigationUrls(const std::vector<BrowserEvent>& events) {
    std::vector<std::string> urls;
    for (const BrowserEvent& event : events) {
        if (event.kind == "BeforeNavigate2" || event.kind == "DocumentComplete") {
            urls.push_back(event.kind + " " + event.url);
        }
    }
    return urls;
}

TEST(EmbeddedPages, TheWaitPageLoadsWithItsImageUnderItsResAddress) {
    const std::string url = EmbeddedPageUrl("wait.htm");
    TheBrowser().TakeEvents();
    ASSERT_TRUE(TheBrowser().Open(url));
    EXPECT_THAT(NavigationUrls(TheBrowser().TakeEvents()),
                ::testing::ElementsAre("BeforeNavigate2 " + url, "DocumentComplete " + url));

    EXPECT_TRUE(PageHas("document.title === 'Network Manager' && top_text.innerText === '' && Form1 &&"
                        " bottom_text && bQuit.value === 'Cancel' && bRetry.value === 'Retry' ? document.body : null"));
    // Retry waits hidden until a connection error shows it; the relative
    // image came from the module too.
    EXPECT_TRUE(PageHas("getComputedStyle(bRetry).visibility === 'hidden' ? bRetry : null"));
    EXPECT_TRUE(PageHas("getComputedStyle(bQuit).visibility === 'visible' ? bQuit : null"));
    EXPECT_TRUE(PageHas("(i => i.complete && i.naturalWidth === 48 ? i : null)(document.images[0])"));
}

TEST(EmbeddedPages, AnUnknownNameCompletesWithANotFoundPage) {
    ASSERT_TRUE(TheBrowser().Open(EmbeddedPageUrl("NOPE.HTM")));
    EXPECT_TRUE(PageHas("document.body.innerText.trim() === '404 Not Found' ? document.body : null"));
    // A name that the address leaves out is not found either.
    ASSERT_TRUE(TheBrowser().Open("res://nothing"));
    EXPECT_TRUE(PageHas("document.body.innerText.trim() === '404 Not Found' ? document.body : null"));
}

TEST(EmbeddedPages, StoreNavigationAroundThemIsUntouched) {
    // A POST after an embedded page still carries its bytes; a GET after the
    // POST stays a GET; embedded pages are still served after both.
    ASSERT_TRUE(TheBrowser().Open(EmbeddedPageUrl("WAIT.HTM")));
    platform::PostDataArgument argument;
    ASSERT_EQ(BuildPostDataVariant(&argument, "z=\xE9+"), 0u);
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/secure/Prefill.aspx"), &argument,
                                  "Content-Type: application/x-www-form-urlencoded\r\n"));
    EXPECT_EQ(ThePages().Control("/_prefill?part=method"), "POST");
    EXPECT_EQ(ThePages().Control("/_prefill?part=body"), "z=\xE9+");
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/secure/Prefill.aspx")));
    EXPECT_EQ(ThePages().Control("/_prefill?part=method"), "GET");
    ASSERT_TRUE(TheBrowser().Open(EmbeddedPageUrl("WAIT.HTM")));
    EXPECT_TRUE(PageHas("bottom_text.innerText === '' && document.images[0].naturalWidth > 0 ? document.body : null"));
}

}  // namespace
}  // namespace zun
