#include "win/Metrics.h"
#include "core/XCore.ScreenMetrics.h"
#include <gtest/gtest.h>

TEST(ScreenMetrics, ScaledToTheScreen)
{
    SetScreenDPI(144, 144);
    LoadScreenMetrics();
    EXPECT_EQ(ScreenDPIY, 144);
    EXPECT_TRUE(IsScreenScaled);
    EXPECT_EQ(ScaledSizes[16], 24);
    EXPECT_EQ(ScaledSizes[1], 2); // 1.5 rounds away from zero
    EXPECT_EQ(Scaled100, 150);
    EXPECT_EQ(SystemMetrics.CXIcon, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(SystemMetrics.CYSizeFrame, SystemMetrics.CYFrame);

    SetScreenDPI(96, 96);
    LoadScreenMetrics();
    EXPECT_FALSE(IsScreenScaled);
    EXPECT_EQ(ScaledSizes[24], 24);
    EXPECT_EQ(SystemMetrics.CXIcon, 32);
}
