#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/embedded_resources.h"

namespace zun {
namespace {

using platform::EmbeddedResource;
using platform::FindEmbeddedResource;

std::string FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.good()) << path;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Bytes(const EmbeddedResource& resource) {
    return std::string(reinterpret_cast<const char*>(resource.data), resource.size);
}

TEST(EmbeddedResources, TheModuleCarriesTheListedFilesByteForByte) {
    EmbeddedResource page;
    ASSERT_EQ(FindEmbeddedResource("WAIT.HTM", &page), 0u);
    EXPECT_EQ(Bytes(page), FileBytes(ZUN_PAGE_SOURCES "/WAIT.HTM"));
    EXPECT_STREQ(page.contentType, "text/html");

    EmbeddedResource image;
    ASSERT_EQ(FindEmbeddedResource("ROCKET.GIF", &image), 0u);
    EXPECT_EQ(Bytes(image), FileBytes(ZUN_PAGE_BUILDS "/ROCKET.GIF"));
    EXPECT_EQ(Bytes(image).substr(0, 6), "GIF89a");
    EXPECT_EQ(image.data[image.size - 1], 0x3B) << "the image ends with the GIF trailer";
    EXPECT_STREQ(image.contentType, "image/gif");

    // Names are found whatever their letter case, as the page's own
    // "rocket.gif" is.
    EmbeddedResource lower;
    ASSERT_EQ(FindEmbeddedResource("rocket.gif", &lower), 0u);
    EXPECT_EQ(lower.data, image.data);
    EXPECT_EQ(lower.size, image.size);
}

TEST(EmbeddedResources, UnknownNamesAndBadArgumentsAreRefused) {
    EmbeddedResource resource;
    EXPECT_EQ(FindEmbeddedResource("NOPE.HTM", &resource), ZUN_E_NOT_FOUND);
    EXPECT_EQ(FindEmbeddedResource("WAIT", &resource), ZUN_E_NOT_FOUND);
    EXPECT_EQ(FindEmbeddedResource("", &resource), ZUN_E_NOT_FOUND);
    EXPECT_EQ(FindEmbeddedResource(nullptr, &resource), ZUN_E_INVALID_ARG);
    EXPECT_EQ(FindEmbeddedResource("WAIT.HTM", nullptr), ZUN_E_INVALID_ARG);
    EXPECT_EQ(resource.data, nullptr);
}

}  // namespace
}  // namespace zun
