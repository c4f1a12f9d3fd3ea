// The element dump after a failed lookup costs one document call per
// element, so it is built only when someone reads the trace.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dom/html_element.h"
#include "trace_capture.h"

namespace zun {
namespace {

namespace dom = platform::dom;

// A document of five elements in which no lookup by name succeeds; it counts
// the calls that walk it by index.
class CountingDocument final : public dom::Document,
                               public dom::Collection,
                               public std::enable_shared_from_this<CountingDocument> {
public:
    Status GetAll(dom::CollectionRef* all) override {
        *all = shared_from_this();
        return 0;
    }
    Status GetLength(int32_t* length) override {
        *length = 5;
        return 0;
    }
    Status ItemByName(const char*, dom::ElementRef* element) override {
        element->reset();
        return 0;
    }
    Status ItemByIndex(int32_t, dom::ElementRef* element) override {
        ++itemsByIndex;
        element->reset();
        return 0;
    }
    Status Tags(const char*, dom::CollectionRef*) override { return ZUN_E_NOT_FOUND; }
    Status GetTitle(std::string*) override { return 0; }
    Status Alert(const char*) override { return 0; }
    Status GetUrl(std::string*) override { return 0; }
    Status OpenWindow(const char*) override { return 0; }

    int itemsByIndex = 0;
};

TEST(HtmlElementDump, AFailedLookupWalksTheDocumentOnlyWhileTracing) {
    auto document = std::make_shared<CountingDocument>();
    HtmlElement page;
    ASSERT_EQ(page.HookupDocument(document), 0u);

    // Windows always has its debugger output as a trace sink; the run
    // without a reader exists only where tracing can be off.
    if (!trace::Enabled()) {
        EXPECT_EQ(page.SetElementInnerText("missing", "x"), ZUN_E_NOT_FOUND);
        EXPECT_EQ(document->itemsByIndex, 0);
    }

    testing::TraceCapture trace;
    EXPECT_EQ(page.SetElementInnerText("missing", "x"), ZUN_E_NOT_FOUND);
    EXPECT_EQ(document->itemsByIndex, 5);
}

}  // namespace
}  // namespace zun
