#include "core/fill_math.h"

#include <gtest/gtest.h>

TEST(FillMath, ChannelsTruncateTheScaledValue) {
    EXPECT_EQ(channel16(0.0f), 0);
    EXPECT_EQ(channel16(0.5f), 32767); // 32767.5 truncates; rounding would give 32768
    EXPECT_EQ(channel16(0.7f), 45874);
    EXPECT_EQ(channel16(0.9f), 58981);
    EXPECT_EQ(channel16(0.95f), 62258);
    EXPECT_EQ(channel16(1.0f), 65535);
    // As 8 bits on a true-colour surface: the high byte.
    EXPECT_EQ(channel16(0.7f) >> 8, 179);
    EXPECT_EQ(channel16(0.9f) >> 8, 230);
    EXPECT_EQ(channel16(0.95f) >> 8, 243);
}

TEST(FillMath, OutOfRangeChannelsWrapInsteadOfMisbehaving) {
    EXPECT_EQ(channel16(2.0f), static_cast<std::uint16_t>(131070));
    EXPECT_EQ(channel16(-0.5f), static_cast<std::uint16_t>(-32767));
    EXPECT_EQ(channel16(1e30f), 0);
}

TEST(FillMath, PointsPackSixteenBitsEachAndSignExtend) {
    EXPECT_EQ(pack_point(5, 15), 0x000F0005u);
    const std::uint32_t p = pack_point(-3, -32768);
    EXPECT_EQ(point_x(p), -3);
    EXPECT_EQ(point_y(p), -32768);
    // Beyond 16 bits a coordinate wraps.
    EXPECT_EQ(point_x(pack_point(32768, 0)), -32768);
    EXPECT_EQ(point_y(pack_point(0, 65536 + 7)), 7);
}
