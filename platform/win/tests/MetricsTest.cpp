#include "win/Metrics.h"
#include "rtl/Exceptions.h"
#include <gtest/gtest.h>
#include <climits>

namespace {

class MetricsTest : public ::testing::Test {
protected:
    void TearDown() override { SetScreenDPI(DefaultScreenDPI, DefaultScreenDPI); }
};

}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit)
{
    struct {
        Integer N, Num, Den, Expected;
    } Cases[] = {
        { 16, 144, 96, 24 },
        { 100, 144, 96, 150 },
        { 1, 3, 2, 2 },
        { -1, 3, 2, -2 },
        { 7, -3, 2, -11 },
        { 5, 1, 3, 2 },
        { 4, 1, 3, 1 },
        { INT_MAX, INT_MAX, INT_MAX, INT_MAX },
        { 5, 1, 0, -1 },
        { INT_MAX, 2, 1, -1 },
        { INT_MIN, 1, 1, INT_MIN },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(MulDiv(C.N, C.Num, C.Den), C.Expected) << C.N << "*" << C.Num << "/" << C.Den;
}

TEST_F(MetricsTest, TableAt96AndScaledAtOtherDPI)
{
    EXPECT_EQ(GetScreenDeviceCaps(LOGPIXELSX), 96);
    EXPECT_EQ(GetScreenDeviceCaps(LOGPIXELSY), 96);
    struct {
        Integer Index, At96, At144x120;
    } Cases[] = {
        { SM_CXBORDER, 1, 1 },
        { SM_CYBORDER, 1, 1 },
        { SM_CXICON, 32, 48 },
        { SM_CYICON, 32, 40 },
        { SM_CXSMICON, 16, 24 },
        { SM_CYCAPTION, 23, 29 },
        { SM_CXSIZEFRAME, 4, 6 },
        { SM_CYSIZEFRAME, 4, 5 },
        { SM_CXVSCROLL, 17, 26 },
        { SM_CYMINIMIZED, 28, 35 },
        { 0, 0, 0 },
        { 9999, 0, 0 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(GetSystemMetrics(C.Index), C.At96) << C.Index;
    SetScreenDPI(144, 120);
    EXPECT_EQ(GetScreenDeviceCaps(LOGPIXELSX), 144);
    EXPECT_EQ(GetScreenDeviceCaps(LOGPIXELSY), 120);
    EXPECT_EQ(GetScreenDeviceCaps(0), 0);
    for (const auto& C : Cases)
        EXPECT_EQ(GetSystemMetrics(C.Index), C.At144x120) << C.Index;
    EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CXSIZEFRAME));
}

TEST_F(MetricsTest, ImpossibleDPIIsRefused)
{
    for (auto [X, Y] : { std::pair { 0, 96 }, { 96, -1 }, { 9601, 96 } })
        EXPECT_THROW(SetScreenDPI(X, Y), EArgumentOutOfRangeException);
    EXPECT_EQ(GetScreenDeviceCaps(LOGPIXELSX), 96);
}

TEST(NonClientMetrics, FollowTheScreenAndFailWhenATestSaysSo)
{
    NONCLIENTMETRICS M;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, M.cbSize, &M, 0));
    EXPECT_EQ(M.iCaptionWidth, GetSystemMetrics(SM_CXSIZE));
    EXPECT_EQ(M.lfMessageFont.lfHeight, -12); // 9 points at 96 DPI
    EXPECT_FALSE(M.lfMessageFont.lfFaceName.empty());
    NONCLIENTMETRICS Odd;
    Odd.cbSize = 12;
    EXPECT_FALSE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, Odd.cbSize, &Odd, 0));
    SetSystemParametersFailing(true);
    EXPECT_FALSE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, M.cbSize, &M, 0));
    SetSystemParametersFailing(false);
}
