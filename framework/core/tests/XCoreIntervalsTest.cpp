#include "core/XCode.Trek.h"
#include "core/XCore.Intervals.h"
#include <gtest/gtest.h>

TEST(XBlockComparer, OrdersByStartThenLength)
{
    struct TCase {
        TXBlock L, R;
        Integer Expected;
    };
    const TCase Cases[] = {
        { { 5, 9 }, { 5, 7 }, 1 },
        { { 4, 100 }, { 5, 0 }, -1 },
        { { 5, 7 }, { 5, 7 }, 0 },
        { { -1, 0 }, { 0, 0 }, -1 },
        { { INT64_MIN, 0 }, { INT64_MAX, 0 }, -1 }, // no overflow in the difference
        { { 0, INT64_MAX }, { 0, INT64_MIN }, 1 },
    };
    auto Comparer = BlockComparer();
    ASSERT_TRUE(Comparer);
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.L.Start << "," << C.L.Length << " vs " << C.R.Start << "," << C.R.Length);
        EXPECT_EQ(Comparer->Compare(C.L, C.R), C.Expected);
        EXPECT_EQ(Comparer->Compare(C.R, C.L), -C.Expected);
    }
    EXPECT_EQ((TXBlock { 10, 5 }).BlockEnd(), 14);
    EXPECT_EQ((TXBlock { 10, 0 }).BlockEnd(), 9);
}

TEST(XCodeTrek, LinesThroughTheInterface)
{
    TXCodeTrek* Trek = CodeTrek();
    ASSERT_NE(Trek, nullptr);
    {
        IPtr<IXCodeTrek> Intf = Supports<IXCodeTrek>(Trek);
        ASSERT_TRUE(Intf);
        Intf->Add(u"disk 0");
        Intf->Add(u"boot sector");
        EXPECT_EQ(Trek->Lines()->Count(), 2);
        EXPECT_EQ(Trek->Lines()->Strings(1), u"boot sector");
        Intf->Clear();
    }
    // Releasing the interface left the list alive.
    EXPECT_EQ(CodeTrek()->Lines()->Count(), 0);
}
