#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "browser/browser_environment.h"
#include "dom/html_element.h"
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

// A text of an element of the shown page, read through the HTML helper.
std::string Read(Status (HtmlElement::*get)(const char*, char*, uint32_t*), const char* id) {
    std::string text;
    TheBrowser().Do([&] {
        platform::dom::DocumentRef document;
        ASSERT_EQ(TheBrowser().Browser().GetDocument(&document), 0u);
        HtmlElement page;
        ASSERT_EQ(page.HookupDocument(document), 0u);
        char buffer[256];
        uint32_t size = sizeof buffer;
        ASSERT_EQ((page.*get)(id, buffer, &size), 0u) << id;
        text = buffer;
    });
    return text;
}

std::string TextOf(const char* id) { return Read(&HtmlElement::GetElementInnerText, id); }
std::string ValueOf(const char* id) { return Read(&HtmlElement::GetInputElementValue, id); }

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

    TheBrowser().Do([] {
        platform::dom::DocumentRef document;
        ASSERT_EQ(TheBrowser().Browser().GetDocument(&document), 0u);
        HtmlElement page;
        ASSERT_EQ(page.HookupDocument(document), 0u);
        char text[256];
        ASSERT_EQ(page.GetDocumentTitleText(text, sizeof text), 0u);
        EXPECT_STREQ(text, "Network Manager");
        for (const char* id : {"Form1", "top_text", "bottom_text", "bRetry", "bQuit"}) {
            EXPECT_TRUE(page.DoesElementExist(id)) << id;
        }
    });
    EXPECT_EQ(ValueOf("bQuit"), "Cancel");
    EXPECT_EQ(ValueOf("bRetry"), "Retry");
    EXPECT_EQ(TextOf("top_text"), "");
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
    EXPECT_EQ(TextOf("bottom_text"), "");
    EXPECT_TRUE(PageHas("document.images[0].naturalWidth > 0 ? document.body : null"));
}

}  // namespace
}  // namespace zun
