// The helper on pages of a real headless browser: elements and their texts,
// navigation and its events, the engine's embedded pages, the event
// receivers' tables, and page script that tries to act for the engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "blob_text.h"
#include "browser/browser_environment.h"
#include "dom/html_element.h"
#include "dom/html_element_event_receiver.h"
#include "platform/module.h"
#include "shopper/purchase_post_data.h"
#include "trace_capture.h"

namespace zun {
namespace {

using testing::BrowserEvent;
using testing::TheBrowser;
using testing::ThePages;
using Receiver = HtmlElementEventReceiver;

// Runs `check` on the dialog's thread with the helper hooked up to `path`.
void OnPage(const std::string& path, const std::function<void(HtmlElement&)>& check) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http(path)));
    TheBrowser().Do([&] {
        platform::dom::DocumentRef document;
        ASSERT_EQ(TheBrowser().Browser().GetDocument(&document), 0u);
        HtmlElement page;
        ASSERT_EQ(page.HookupDocument(document), 0u);
        ASSERT_TRUE(page.IsHookedUp());
        check(page);
    });
}

// The address the engine gives the browser for one of its embedded pages.
std::string EmbeddedPageUrl(const char* name) {
    char modulePath[4096];
    EXPECT_EQ(platform::GetEngineModulePath(modulePath, sizeof modulePath), 0u);
    return std::string("res://") + modulePath + "/" + name;
}

// On the dialog's thread: the element a script expression names.
platform::dom::ElementRef Find(const std::string& expression) {
    platform::dom::ElementRef element;
    EXPECT_EQ(TheBrowser().Browser().FindElement(expression.c_str(), &element), 0u);
    return element;
}

platform::dom::ElementRef ById(const char* id) { return Find(std::string("document.getElementById('") + id + "')"); }

// Whether a script expression of the shown page names an element.
bool PageHas(const char* expression) {
    bool found = false;
    TheBrowser().Do([&] { found = Find(expression) != nullptr; });
    return found;
}

int PageCount() {
    int pages = 0;
    TheBrowser().Do([&] { pages = TheBrowser().Browser().PageCount(); });
    return pages;
}

// The navigation events with their addresses.
std::vector<std::string> NavigationUrls(const std::vector<BrowserEvent>& events) {
    std::vector<std::string> urls;
    for (const BrowserEvent& event : events) {
        if (event.kind == "BeforeNavigate2" || event.kind == "DocumentComplete") {
            urls.push_back(event.kind + " " + event.url);
        }
    }
    return urls;
}

TEST(HtmlElement, ValuesTextsAndTitleWithTheCallersBufferSize) {
    OnPage("/pages/elements.html", [](HtmlElement& page) {
        char buffer[64] = "untouched";
        uint32_t size = 6;
        EXPECT_EQ(page.GetInputElementValue("field", buffer, &size), ZUN_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, 7u);
        EXPECT_STREQ(buffer, "untouched");
        size = 0;
        EXPECT_EQ(page.GetInputElementValue("field", buffer, &size), ZUN_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, 7u);
        size = 7;
        EXPECT_EQ(page.GetInputElementValue("field", buffer, &size), 0u);
        EXPECT_STREQ(buffer, "abcdef");

        // Names find elements too; 8-bit text survives the round trip.
        EXPECT_TRUE(page.DoesElementExist("byname"));
        EXPECT_EQ(page.SetInputElementValue("byname", "caf\xE9"), 0u);
        size = sizeof buffer;
        EXPECT_EQ(page.GetInputElementValue("byname", buffer, &size), 0u);
        EXPECT_STREQ(buffer, "caf\xE9");

        // Setting an element's text is the wait page's (WaitPage).
        size = sizeof buffer;
        EXPECT_EQ(page.GetElementInnerText("para", buffer, &size), 0u);
        EXPECT_STREQ(buffer, "Hello page");
        // A paragraph has no input value.
        size = sizeof buffer;
        EXPECT_EQ(page.GetInputElementValue("para", buffer, &size), ZUN_E_NOT_FOUND);
        // A title longer than the buffer is cut to it.
        char title[256];
        ASSERT_EQ(page.GetDocumentTitleText(title, sizeof title), 0u);
        EXPECT_EQ(std::string(title), std::string(255, 'T'));
    });
}

TEST(HtmlElement, CartStateComesFromTheFirstMarkedInput) {
    const std::string first = testing::EncodeBase64(testing::MakeBlob({{"PAGENAME", "FIRST"}}));
    const std::string second = testing::EncodeBase64(testing::MakeBlob({{"PAGENAME", "SECOND"}}));
    OnPage("/pages/elements.html", [&](HtmlElement& page) {
        ASSERT_EQ(page.SetInputElementValue("c1", first.c_str()), 0u);
        ASSERT_EQ(page.SetInputElementValue("c2", second.c_str()), 0u);
        CartState cartState;
        ASSERT_EQ(page.GetCartStateElementValue(cartState), 0u);
        char value[16];
        ASSERT_EQ(cartState.GetValue("PAGENAME", value, sizeof value), 0u);
        EXPECT_STREQ(value, "FIRST");

        // Base64 text whose bytes are no blob.
        ASSERT_EQ(page.SetInputElementValue("c1", "aGVsbG8gd29ybGQh"), 0u);
        EXPECT_EQ(page.GetCartStateElementValue(cartState), ZUN_E_INVALID_CARTSTATE);

        // The marker's value must be the attribute's own name.
        ASSERT_EQ(page.SetElementAttributeValue("c1", "__CARTSTATE", "x"), 0u);
        ASSERT_EQ(page.SetElementAttributeValue("c2", "__CARTSTATE", "x"), 0u);
        EXPECT_EQ(page.GetCartStateElementValue(cartState), ZUN_E_NOT_FOUND);
    });
}

// After an embedded page, a POST carries its body byte for byte, its events
// come in order on the dialog's thread, and a GET after it stays a GET.
TEST(Navigation, PostsTheBodyByteForByteAndReportsEventsInOrderOnTheDialogThread) {
    ASSERT_TRUE(TheBrowser().Open(EmbeddedPageUrl("WAIT.HTM")));
    const std::string body = "name=A%41+b&raw=\x02 = + %41 \xE9\xFF\x80";
    platform::PostDataArgument argument;
    ASSERT_EQ(BuildPostDataVariant(&argument, body.c_str()), 0u);
    TheBrowser().TakeEvents();
    const std::string url = ThePages().Http("/secure/Prefill.aspx");
    ASSERT_TRUE(TheBrowser().Open(url, &argument, "Content-Type: application/x-www-form-urlencoded\r\n"));
    EXPECT_EQ(ThePages().Control("/_prefill?part=method"), "POST");
    EXPECT_EQ(ThePages().Control("/_prefill?part=body"), body);

    const std::vector<BrowserEvent> events = TheBrowser().TakeEvents();
    EXPECT_THAT(NavigationUrls(events), ::testing::ElementsAre("BeforeNavigate2 " + url, "DocumentComplete " + url));
    std::vector<std::string> kinds;
    for (const BrowserEvent& event : events) {
        EXPECT_EQ(event.thread, TheBrowser().DialogThread()) << event.kind;
        if (event.kind != "ProgressChange" && event.kind != "SetSecureLockIcon") kinds.push_back(event.kind);
    }
    EXPECT_THAT(kinds, ::testing::ElementsAre("BeforeNavigate2", "DownloadBegin", "DownloadComplete",
                                              "DocumentComplete"));
    ASSERT_TRUE(TheBrowser().Open(url));
    EXPECT_EQ(ThePages().Control("/_prefill?part=method"), "GET");
}

TEST(EmbeddedPages, TheWaitPageLoadsWithItsImageAndUnknownNamesAreNotFound) {
    const std::string url = EmbeddedPageUrl("wait.htm");
    TheBrowser().TakeEvents();
    ASSERT_TRUE(TheBrowser().Open(url));
    EXPECT_THAT(NavigationUrls(TheBrowser().TakeEvents()),
                ::testing::ElementsAre("BeforeNavigate2 " + url, "DocumentComplete " + url));
    // The relative image came from the module too; what the page shows is WaitPage's.
    EXPECT_TRUE(PageHas("(i => i.complete && i.naturalWidth === 48 ? i : null)(document.images[0])"));

    // Neither an unknown name nor an address without one finds a page.
    for (const std::string& missing : {EmbeddedPageUrl("NOPE.HTM"), std::string("res://nothing")}) {
        ASSERT_TRUE(TheBrowser().Open(missing));
        EXPECT_TRUE(PageHas("document.body.innerText.trim() === '404 Not Found' ? document.body : null")) << missing;
    }
}

TEST(Receivers, TablesHold128OfEachKindAndRefuseForeignElements) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/pages/links.html")));
    TheBrowser().Do([] {
        Receiver::FreeEventConnections();
        for (size_t i = 0; i < Receiver::kTableSize; ++i) {
            ASSERT_EQ(Receiver::AdviseEventReady("nohrefspan", &TheBrowser().Browser()), 0u);
        }
        EXPECT_EQ(Receiver::AdviseEventReady("nohrefspan", &TheBrowser().Browser()), ZUN_E_NO_EVENT_SLOT);
        EXPECT_EQ(Receiver::AdviseEventReady(ById("nohrefspan"), &TheBrowser().Browser()), ZUN_E_NO_EVENT_SLOT);
        EXPECT_EQ(Receiver::ElementReceiverCount(), Receiver::kTableSize);
        EXPECT_EQ(Receiver::AdviseEventReady(ById("plain"), &TheBrowser().Browser()), 0u);
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

// Page script cannot act for the engine: it finds nothing of the engine's in
// its window to call, its own clicks do not count, and a link it points at a
// local file opens nothing even when a person clicks it.
TEST(HostilePage, ForgedClicksAndAFileLinkOpenNothingAndARealClickStillWorks) {
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/pages/links.html")));
    testing::TraceCapture trace;
    TheBrowser().Do([&] {
        for (const char* id : {"plain", "marked"}) {
            EXPECT_EQ(Receiver::AdviseEventReady(ById(id), &TheBrowser().Browser()), 0u) << id;
        }
    });
    const int pagesBefore = PageCount();
    TheBrowser().Do([&] { Find(kHostileScript); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Nothing reached the engine's link handling.
    EXPECT_EQ(PageCount(), pagesBefore);
    EXPECT_THAT(trace.Messages(), ::testing::Not(::testing::Contains(::testing::HasSubstr("OnAnchorClick"))));
    EXPECT_FALSE(TheBrowser().Ended());
    EXPECT_EQ(TheBrowser().Count("BrowserFailed"), 0u);

    // A person's click on the file link opens nothing either.
    TheBrowser().Do([&] { EXPECT_EQ(TheBrowser().Browser().Click(*ById("plain")), 0u); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(PageCount(), pagesBefore);
    EXPECT_THAT(trace.Messages(), ::testing::Contains(::testing::HasSubstr("file:// is no web address: not opened")));

    // A person's click on a web link opens its window.
    TheBrowser().Do([&] { EXPECT_EQ(TheBrowser().Browser().Click(*ById("pic")), 0u); });
    for (int i = 0; i < 100 && PageCount() == pagesBefore; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(PageCount(), pagesBefore + 1);
    TheBrowser().Do([] { Receiver::FreeEventConnections(); });
}

}  // namespace
}  // namespace zun
