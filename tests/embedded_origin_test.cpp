#include <gtest/gtest.h>

#include "platform/embedded_resources.h"
#include "platform/module.h"
#include "platform/posix/embedded_origin.h"
#include "state/base64.h"

namespace zun::platform::posix {
namespace {

TEST(EmbeddedOrigin, ResAddressesMapToTheOriginAndBack) {
    EXPECT_EQ(BrowserUrlOf("res:///opt/engine/libzunserver.so/wait.htm"), "http://resources.invalid/wait.htm");
    EXPECT_EQ(BrowserUrlOf("RES://C:\\Program Files\\Shop\\ZunServer.dll/WAIT.HTM"),
              "http://resources.invalid/WAIT.HTM");
    // Without a name the origin's root is asked for, which is not found.
    EXPECT_EQ(BrowserUrlOf("res://nothing"), "http://resources.invalid/");
    EXPECT_EQ(BrowserUrlOf("https://store.example.test/res://x/y"), "https://store.example.test/res://x/y");

    char modulePath[4096];
    ASSERT_EQ(GetEngineModulePath(modulePath, sizeof modulePath), 0u);
    EXPECT_EQ(EngineUrlOf("http://resources.invalid/wait.htm#top"),
              std::string("res://") + modulePath + "/wait.htm#top");
    EXPECT_EQ(EngineUrlOf("http://127.0.0.1:8080/wait.htm"), "http://127.0.0.1:8080/wait.htm");
    EXPECT_TRUE(IsEmbeddedOriginUrl("http://resources.invalid/x"));
    EXPECT_FALSE(IsEmbeddedOriginUrl("http://resources.invalid.example/x"));
}

TEST(EmbeddedOrigin, RequestsAreAnsweredFromTheEmbeddedResources) {
    EmbeddedResource page;
    ASSERT_EQ(FindEmbeddedResource("WAIT.HTM", &page), 0u);
    // Escapes are undone; query and fragment are not part of the name.
    const Json found = EmbeddedResponse("r1", "http://resources.invalid/W%41it.htm?x=1#f");
    EXPECT_EQ(found["requestId"], "r1");
    EXPECT_EQ(found["responseCode"], 200);
    EXPECT_EQ(found["responseHeaders"][0]["value"], "text/html");
    EXPECT_EQ(found["body"], EncodeBase64(page.data, page.size));

    for (const char* url : {"http://resources.invalid/NOPE.HTM", "http://resources.invalid/WAIT.HTM%00.gif",
                            "http://resources.invalid/", "http://127.0.0.1/WAIT.HTM"}) {
        const Json missing = EmbeddedResponse("r2", url);
        EXPECT_EQ(missing["responseCode"], 404) << url;
        EXPECT_EQ(missing["body"], EncodeBase64(reinterpret_cast<const uint8_t*>("404 Not Found"), 13)) << url;
    }
}

}  // namespace
}  // namespace zun::platform::posix
