#include "rtl/Guid.h"
#include <gtest/gtest.h>
#include <set>

TEST(Guid, TextRoundTrip)
{
    TGUID G;
    ASSERT_TRUE(TryStringToGUID(u"{8C5471A3-7CC6-43D4-AC58-9D9EC771167A}", G));
    EXPECT_EQ(G, TGUID::Parse("{8c5471a3-7cc6-43d4-ac58-9d9ec771167a}"));
    EXPECT_EQ(G.ToString(), u"{8C5471A3-7CC6-43D4-AC58-9D9EC771167A}");
    EXPECT_FALSE(TryStringToGUID(u"{8C5471A3-7CC6-43D4-AC58-9D9EC771167}", G));
    EXPECT_FALSE(TryStringToGUID(u"{8C5471A3-7CC6-43D4XAC58-9D9EC771167A}", G));
}

TEST(Guid, CreateGUIDIsRandomVersion4)
{
    std::set<String> Seen;
    for (int I = 0; I < 50; ++I) {
        TGUID G;
        ASSERT_EQ(CreateGUID(G), S_OK);
        EXPECT_EQ(G.D3 >> 12, 4);
        EXPECT_EQ(G.D4[0] & 0xC0, 0x80);
        TGUID Back;
        ASSERT_TRUE(TryStringToGUID(G.ToString(), Back));
        EXPECT_EQ(Back, G);
        Seen.insert(G.ToString());
    }
    EXPECT_EQ(Seen.size(), 50u);
}
