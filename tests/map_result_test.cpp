#include "base/map_result.h"

#include <gtest/gtest.h>

namespace zun {
namespace {

TEST(MapResult, PassesTheEnginesOwnValuesZeroAndNegativeStatuses) {
    for (Status status : {0x0u, 0x60000006u, 0x60000007u, 0xE4000004u, 0xA4020003u, 0xE400000Fu, 0x80070057u,
                          0x80004003u, 0x7FFFFFFFu /* bit 29 set */}) {
        EXPECT_EQ(MapResult(status), status) << std::hex << status;
    }
}

TEST(MapResult, TurnsPositiveWin32ErrorNumbersIntoHresults) {
    EXPECT_EQ(MapResult(12029), 0x80072EFDu);
    EXPECT_EQ(MapResult(5), 0x80070005u);
    // The high half of a positive value is dropped.
    EXPECT_EQ(MapResult(0x00012EFD), 0x80072EFDu);
    EXPECT_EQ(MapResult(0x1FFFFFFF), 0x8007FFFFu);
    // Bit 30 alone is no engine value.
    EXPECT_EQ(MapResult(0x40000000), 0x80070000u);
}

}  // namespace
}  // namespace zun
