#include <gtest/gtest.h>

#include <string>

#include "file_bytes.h"
#include "platform/embedded_resources.h"
#ifndef _WIN32
#include "platform/posix/embedded_origin.h"
#include "state/base64.h"
#endif

namespace zun::platform {
namespace {

std::string Bytes(const EmbeddedResource& resource) {
    return std::string(reinterpret_cast<const char*>(resource.data), resource.size);
}

TEST(EmbeddedResources, TheModuleCarriesTheListedFilesByteForByteWhateverTheNamesCase) {
    EmbeddedResource page;
    ASSERT_EQ(FindEmbeddedResource("WAIT.HTM", &page), 0u);
    EXPECT_EQ(Bytes(page), testing::FileBytes(ZUN_PAGE_SOURCES "/WAIT.HTM"));
    EXPECT_STREQ(page.contentType, "text/html");
    EmbeddedResource image;
    ASSERT_EQ(FindEmbeddedResource("rocket.gif", &image), 0u);  // as the page names it
    EXPECT_EQ(Bytes(image), testing::FileBytes(ZUN_PAGE_BUILDS "/ROCKET.GIF"));
    EXPECT_STREQ(image.contentType, "image/gif");

    EmbeddedResource none;
    for (const char* name : {"NOPE.HTM", "WAIT", ""}) EXPECT_EQ(FindEmbeddedResource(name, &none), ZUN_E_NOT_FOUND);
    EXPECT_EQ(FindEmbeddedResource(nullptr, &none), ZUN_E_INVALID_ARG);
    EXPECT_EQ(FindEmbeddedResource("WAIT.HTM", nullptr), ZUN_E_INVALID_ARG);
    EXPECT_EQ(none.data, nullptr);
}

#ifndef _WIN32
using posix::EmbeddedResponse;

TEST(EmbeddedOrigin, RequestsAreAnsweredFromTheEmbeddedResources) {
    EmbeddedResource page;
    ASSERT_EQ(FindEmbeddedResource("WAIT.HTM", &page), 0u);
    // Escapes are undone; query and fragment are not part of the name.
    const auto found = EmbeddedResponse("r1", "http://resources.invalid/W%41it.htm?x=1#f");
    EXPECT_EQ(found["requestId"], "r1");
    EXPECT_EQ(found["responseCode"], 200);
    EXPECT_EQ(found["responseHeaders"][0]["value"], "text/html");
    EXPECT_EQ(found["body"], EncodeBase64(page.data, page.size));

    for (const char* url : {"http://resources.invalid/NOPE.HTM", "http://resources.invalid/WAIT.HTM%00.gif",
                            "http://resources.invalid/", "http://127.0.0.1/WAIT.HTM"}) {
        const auto missing = EmbeddedResponse("r2", url);
        EXPECT_EQ(missing["responseCode"], 404) << url;
        EXPECT_EQ(missing["body"], EncodeBase64(reinterpret_cast<const uint8_t*>("404 Not Found"), 13)) << url;
    }
}
#endif

}  // namespace
}  // namespace zun::platform
