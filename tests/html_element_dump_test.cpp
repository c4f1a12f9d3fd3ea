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

// A document of `kElements` elements in which no lookup by name succeeds;
// it counts the calls that walk it by index.
class CountingCollection final : public dom::Collection {
public:
    static constexpr int32_t kElements = 5;

    Status GetLength(int32_t* length) override {
        *length = kElements;
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

    int itemsByIndex = 0;
};

class OneCollectionDocument final : public dom::Document {
public:
    explicit OneCollectionDocument(std::shared_ptr<CountingCollection> all) : _all(std::move(all)) {}
    Status GetAll(dom::CollectionRef* all) override {
        *all = _all;
        return 0;
    }
    Status GetTitle(std::string* title) override {
        title->clear();
        return 0;
    }
    Status Alert(const char*) override { return 0; }
    Status GetUrl(std::string*) override { return 0; }
    Status OpenWindow(const char*) override { return 0; }

private:
    std::shared_ptr<CountingCollection> _all;
};

TEST(HtmlElementDump, AFailedLookupWalksTheDocumentOnlyWhileTracing) {
    auto collection = std::make_shared<CountingCollection>();
    HtmlElement page;
    ASSERT_EQ(page.HookupDocument(std::make_shared<OneCollectionDocument>(collection)), 0u);

    // Windows always has its debugger output as a trace sink; the run
    // without a reader exists only where tracing can be off.
    if (!trace::Enabled()) {
        EXPECT_EQ(page.SetElementInnerText("missing", "x"), ZUN_E_NOT_FOUND);
        EXPECT_EQ(collection->itemsByIndex, 0);
    }

    testing::TraceCapture trace;
    EXPECT_EQ(page.SetElementInnerText("missing", "x"), ZUN_E_NOT_FOUND);
    EXPECT_EQ(collection->itemsByIndex, CountingCollection::kElements);
}

}  // namespace
}  // namespace zun
