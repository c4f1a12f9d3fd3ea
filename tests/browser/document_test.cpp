#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "blob_text.h"
#include "browser/browser_environment.h"
#include "dom/html_element.h"

namespace zun {
namespace {

using testing::TheBrowser;
using testing::ThePages;

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

TEST(HtmlElement, ValuesAndTextsWithTheCallersBufferSize) {
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

        size = sizeof buffer;
        EXPECT_EQ(page.GetElementInnerText("para", buffer, &size), 0u);
        EXPECT_STREQ(buffer, "Hello page");
        EXPECT_EQ(page.SetElementInnerText("para", "Contacting"), 0u);
        size = sizeof buffer;
        EXPECT_EQ(page.GetElementInnerText("para", buffer, &size), 0u);
        EXPECT_STREQ(buffer, "Contacting");
        // A paragraph has no input value.
        size = sizeof buffer;
        EXPECT_EQ(page.GetInputElementValue("para", buffer, &size), ZUN_E_NOT_FOUND);
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

TEST(HtmlElement, TitleIsCutToTheBuffer) {
    OnPage("/pages/long-title.html", [](HtmlElement& page) {
        char title[256];
        ASSERT_EQ(page.GetDocumentTitleText(title, sizeof title), 0u);
        EXPECT_EQ(std::string(title), std::string(255, 'T'));
    });
}

TEST(HtmlElement, WarningShowsTitleMessageAndErrorNumberInTheAlert) {
    OnPage("/pages/elements.html", [](HtmlElement& page) {
        EXPECT_EQ(page.ShowWarningModal("Format Error.", "The page could not be read.", 5), 0u);
    });
    // The browser shows line ends as plain newlines.
    EXPECT_EQ(TheBrowser().Browser().LastDialogMessage(),
              "Format Error.\n\nThe page could not be read.\n\nError : 5\n\n");
}

}  // namespace
}  // namespace zun
