#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.Skin.Data.h"
#include <gtest/gtest.h>

namespace {

TEST(PaintStates, FlagsChooseOneStateInTheOrderOfTheirTests)
{
    struct TCase {
        Byte Flags;
        TXPaintState State;
    };
    const TCase Cases[] = {
        { 0x00, cstOff },
        { 0x08, cstOff }, // bit 3 means nothing
        { 0x01, cstDis },
        { 0x02, cstDis },
        { 0x04, cstHot },
        { 0x40, cstPress },
        { 0x80, cstFocus },
        { 0x44, cstPress }, // pressed before hot
        { 0x41, cstDis }, // disabled before pressed
        { 0x84, cstHot }, // hot before focused
        { 0x10, cstOn },
        { 0x50, cstOn }, // on + pressed: pressed counts only unchecked
        { 0x11, cstDisOn },
        { 0x14, cstHotOn },
        { 0x90, cstFocusOn },
        { 0x94, cstHotOn },
        { 0x30, cstOn }, // on before mixed
        { 0x20, cstMix },
        { 0x22, cstDisMix },
        { 0x24, cstHotMix },
        { 0xA0, cstMix }, // focus never for mixed
        { 0x60, cstMix },
        { 0xFF, cstDisOn },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(PaintStateFromFlags(C.Flags), C.State) << "flags " << Integer(C.Flags);
}

TEST(PaintStates, EnabledHotAndCheckedStates)
{
    EXPECT_EQ(GetEnabledHotPaintState(false, true), cstDis);
    EXPECT_EQ(GetEnabledHotPaintState(true, true), cstHot);
    EXPECT_EQ(GetEnabledHotPaintState(true, false), cstOff);

    struct TCase {
        bool Enabled, Hot;
        TXPaintState Check, State;
    };
    const TCase Cases[] = {
        { false, true, cstOn, cstDisOn },
        { true, true, cstOn, cstHotOn },
        { true, false, cstOn, cstOn },
        { false, true, cstMix, cstDisMix },
        { true, true, cstMix, cstHotMix },
        { true, false, cstMix, cstMix },
        { false, true, cstOff, cstDis },
        { true, true, cstPress, cstHot },
        { true, false, cstFocusOn, cstOff },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(GetCheckedPaintState(C.Enabled, C.Hot, C.Check), C.State) << C.Enabled << C.Hot << Integer(C.Check);
}

TEST(PaintStates, PrefixesFollowTheStateOrder)
{
    EXPECT_EQ(StateImagePrefix(cstDis), u"Dis_");
    EXPECT_EQ(StateImagePrefix(cstFocusOn), u"FocusOn_");
    EXPECT_EQ(StateImagePrefix(cstHotMix), u"HotMix_");
    EXPECT_EQ(StateImagePrefix(cstGroupDis), u"");
    EXPECT_EQ(StateImagePrefix(TXPaintState(200)), u"");
}

class StateImages : public testing::Test {
protected:
    void SetUp() override { Images.reset(New<TXImageCollection>(static_cast<TPersistent*>(nullptr))); }
    void Name(std::initializer_list<const char16_t*> Names)
    {
        for (const char16_t* N : Names)
            Images->Add()->SetDisplayName(N);
    }
    TXStateImageIndexes Of(const String& Base)
    {
        TXStateImageIndexes I;
        I.fill(-7);
        GetStateImageIndexes(Images.get(), Base, I);
        return I;
    }
    TOwnedPtr<TXImageCollection> Images;
};

using I12 = TXStateImageIndexes;

TEST_F(StateImages, OnlyAnOffPictureServesEveryState)
{
    Name({ u"Hot_Other", u"off_close" }); // names compare without case
    EXPECT_EQ(Of(u"Close"), (I12 { 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1 }));
}

TEST_F(StateImages, WithoutOffTheMissingSimpleStatesTakeZeroAndCombinedOnesFallBack)
{
    Name({ u"x", u"Hot_Close", u"On_Close" });
    //                Dis Hot Off On Mix Press Focus DisOn HotOn FocusOn DisMix HotMix
    EXPECT_EQ(Of(u"Close"), (I12 { 0, 1, 0, 2, 0, 0, 0, 0, 1, 2, 0, 1 }));
}

TEST_F(StateImages, EveryStateWithItsOwnPictureTakesItAndTheFirstMatchWins)
{
    for (TXPaintState S = cstDis; S <= cstHotMix; S = TXPaintState(S + 1))
        Images->Add()->SetDisplayName(StateImagePrefix(S) + u"B");
    Name({ u"Hot_B" });
    I12 Expected;
    for (size_t I = 0; I < Expected.size(); ++I)
        Expected[I] = Integer(I);
    EXPECT_EQ(Of(u"B"), Expected);
    EXPECT_EQ(StateImageIndex(Expected, cstGroupDis), 0);
    EXPECT_EQ(StateImageIndex(Expected, cstHotMix), 11);
}

TEST_F(StateImages, TheCollectionsBaseNameComesFromItsFirstItem)
{
    I12 I;
    GetStateImageIndexesOfCollection(Images.get(), I);
    EXPECT_EQ(I, I12 {}); // empty: every index 0
    GetStateImageIndexesOfCollection(nullptr, I);
    EXPECT_EQ(I, I12 {});

    Name({ u"Off_Min_Big", u"Hot_Min_Big", u"Press_Min" });
    GetStateImageIndexesOfCollection(Images.get(), I); // base "Min_Big"
    EXPECT_EQ(I, (I12 { 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1 }));
}

}
