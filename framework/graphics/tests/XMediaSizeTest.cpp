#include "graphics/XMedia.Types.h"
#include <gtest/gtest.h>

TEST(XMediaSizeTest, TextAndEmptiness)
{
    struct TCase {
        Integer Width, Height;
        const char16_t* Text;
        bool Empty;
    } Cases[] = {
        { 640, 480, u"640x480", false },
        { 0, 480, u"0x480", true },
        { 640, 0, u"640x0", true },
        { 0, 0, u"0x0", true },
        { -3, 7, u"-3x7", false },
        { 2147483647, -2147483647 - 1, u"2147483647x-2147483648", false },
    };
    for (const TCase& C : Cases) {
        TXSize Size;
        Size.Create(C.Width, C.Height);
        EXPECT_EQ(Size.ToString(), C.Text);
        EXPECT_EQ(Size.IsEmpty(), C.Empty) << StringToUTF8(C.Text);
        Size.Clear();
        EXPECT_TRUE(Size.IsEmpty());
        EXPECT_EQ(Size.ToString(), u"0x0");
    }
    static_assert(sizeof(TXSize) == 8);
}
