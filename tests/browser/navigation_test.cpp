#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "browser/browser_environment.h"
#include "shopper/purchase_post_data.h"

namespace zun {
namespace {

using testing::BrowserEvent;
using testing::TheBrowser;
using testing::ThePages;

// What the store server took in with the last request to its pre-fill page.
std::map<std::string, std::string> LastPrefill() {
    std::map<std::string, std::string> fields;
    for (const char* part : {"method", "content_type", "body"}) {
        fields[part] = ThePages().Control(std::string("/_prefill?part=") + part);
    }
    return fields;
}

// The kinds of the events, with the address for navigations.
std::vector<std::string> Sequence(const std::vector<BrowserEvent>& events) {
    std::vector<std::string> kinds;
    for (const BrowserEvent& event : events) {
        if (event.kind == "BeforeNavigate2" || event.kind == "DocumentComplete") {
            kinds.push_back(event.kind + " " + event.url.substr(event.url.rfind('/')));
        }
    }
    return kinds;
}

TEST(Navigation, PostsTheBodyByteForByteAndReportsEventsInOrderOnTheDialogThread) {
    const std::string body = "name=A%41+b&raw=\x02 = + %41 \xE9\xFF\x80";
    platform::PostDataArgument argument;
    ASSERT_EQ(BuildPostDataVariant(&argument, body.c_str()), 0u);
    TheBrowser().TakeEvents();
    ASSERT_TRUE(TheBrowser().Open(ThePages().Http("/secure/Prefill.aspx"), &argument,
                                  "Content-Type: application/x-www-form-urlencoded\r\n"));
    const auto fields = LastPrefill();
    EXPECT_EQ(fields.at("method"), "POST");
    EXPECT_EQ(fields.at("content_type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(fields.at("body"), body);

    const std::vector<BrowserEvent> events = TheBrowser().TakeEvents();
    EXPECT_THAT(Sequence(events), ::testing::ElementsAre("BeforeNavigate2 /Prefill.aspx", "DocumentComplete /Prefill.aspx"));
    for (const BrowserEvent& event : events) EXPECT_EQ(event.thread, TheBrowser().DialogThread()) << event.kind;
    std::vector<std::string> kinds;
    for (const BrowserEvent& event : events) {
        if (event.kind != "ProgressChange" && event.kind != "SetSecureLockIcon") kinds.push_back(event.kind);
    }
    EXPECT_THAT(kinds, ::testing::ElementsAre("BeforeNavigate2", "DownloadBegin", "DownloadComplete",
                                              "DocumentComplete"));
}

}  // namespace
}  // namespace zun
