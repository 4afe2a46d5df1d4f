#include "graphics/XImagePanels.Geometry.h"
#include "graphics/XMedia.Images.h"
#include "ScopedDpi.h"
#include <gtest/gtest.h>

namespace {

std::string Text(const TRect& R)
{
    return "(" + std::to_string(R.Left) + "," + std::to_string(R.Top) + "," + std::to_string(R.Right) + ","
        + std::to_string(R.Bottom) + ")";
}

// A box of pictures of the given sizes (sizes only: the pictures stay
// empty, as the geometry reads only their stored sizes).
TOwnedPtr<TXSkinImagesBox> SizedBox(const std::vector<TXSize>& Sizes)
{
    TOwnedPtr<TXSkinImagesBox> Box(New<TXSkinImagesBox>(nullptr));
    for (const TXSize& S : Sizes) {
        TXImageItem* Item = Box->Images()->Add();
        Item->ImageData()->SetWidth(S.Width);
        Item->ImageData()->SetHeight(S.Height);
    }
    return Box;
}

}

TEST(ThumbnailGeometry, PerTitlePositionCheckBoxButtonsAndDpi)
{
    struct TCase {
        const char* Name;
        Integer Dpi;
        TXThnSettings Settings;
        std::vector<TXSize> Buttons;
        Integer CellWidth, CellHeight;
        TRect Thumb, Title;
        std::vector<TRect> ButtonRects;
    } const Cases[] = {
        { "below: title under the thumbnail", 96, { 4, 128, 96, tpBottom, false, -13 }, {}, 136, 121,
            { 4, 4, 132, 100 }, { 0, 104, 136, 121 }, {} },
        { "top puts it below as well", 96, { 4, 128, 96, tpTop, false, -13 }, {}, 136, 121, { 4, 4, 132, 100 },
            { 0, 104, 136, 121 }, {} },
        { "a positive font height counts the same", 96, { 4, 128, 96, tpTop, false, 13 }, {}, 136, 121,
            { 4, 4, 132, 100 }, { 0, 104, 136, 121 }, {} },
        { "inside the thumbnail", 96, { 4, 128, 96, tpThn, false, -13 }, {}, 136, 104, { 4, 4, 132, 100 },
            { 8, 7, 128, 97 }, {} },
        { "inside, clear of the check box", 96, { 4, 128, 96, tpThn, true, -13 }, {}, 136, 104, { 4, 4, 132, 100 },
            { 25, 7, 128, 97 }, {} },
        { "buttons right to left; the title stops at the first", 96, { 4, 128, 96, tpThn, false, -13 },
            { { 16, 16 }, { 20, 18 } }, 136, 104, { 4, 4, 132, 100 }, { 8, 7, 88, 97 },
            { { 88, 8, 104, 24 }, { 108, 8, 128, 26 } } },
        { "buttons leave a title below alone", 96, { 4, 128, 96, tpBottom, false, -13 }, { { 16, 16 } }, 136, 121,
            { 4, 4, 132, 100 }, { 0, 104, 136, 121 }, { { 112, 8, 128, 24 } } },
        { "no border", 96, { 0, 64, 48, tpBottom, false, -11 }, {}, 64, 59, { 0, 0, 64, 48 }, { 0, 48, 64, 59 },
            {} },
        { "144 DPI: margins scale, rounding halves up", 144, { 6, 192, 144, tpThn, true, -20 }, { { 24, 24 } },
            204, 156, { 6, 6, 198, 150 }, { 38, 11, 168, 145 }, { { 168, 12, 192, 36 } } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TScopedDpi Dpi(C.Dpi);
        const TXThnGeometry G = ThnGeometry(C.Settings, C.Buttons);
        EXPECT_EQ(G.CellWidth, C.CellWidth);
        EXPECT_EQ(G.CellHeight, C.CellHeight);
        EXPECT_EQ(Text(G.ThumbRect), Text(C.Thumb));
        EXPECT_EQ(Text(G.TitleRect), Text(C.Title));
        ASSERT_EQ(G.ButtonRects.size(), C.ButtonRects.size());
        for (size_t I = 0; I < C.ButtonRects.size(); ++I)
            EXPECT_EQ(Text(G.ButtonRects[I]), Text(C.ButtonRects[I])) << I;
    }
}

TEST(ThumbnailGeometry, ButtonsFollowTheirBox)
{
    TOwnedPtr<TXSkinImagesBox> Box = SizedBox({ { 16, 16 } });
    const TXThnSettings S { 4, 128, 96, tpThn, false, -13 };
    EXPECT_EQ(ThnGeometry(S, ButtonSizes(Box.get())).ButtonRects.size(), 1u);
    // A picture added: a rectangle more, and the title stops at the new first.
    TXImageItem* More = Box->Images()->Add();
    More->ImageData()->SetWidth(20);
    More->ImageData()->SetHeight(20);
    const TXThnGeometry G = ThnGeometry(S, ButtonSizes(Box.get()));
    ASSERT_EQ(G.ButtonRects.size(), 2u);
    EXPECT_EQ(G.TitleRect.Right, G.ButtonRects[0].Left);
    EXPECT_TRUE(ButtonSizes(nullptr).empty());
}

TEST(ThumbnailGeometry, AButtonPictureFallsBackToThePlainBoxPerIndex)
{
    TOwnedPtr<TXSkinImagesBox> Plain = SizedBox({ { 16, 16 }, { 16, 16 }, { 16, 16 } });
    TOwnedPtr<TXSkinImagesBox> Hot = SizedBox({ { 17, 17 } }); // fewer than the plain box
    TOwnedPtr<TXSkinImagesBox> Disabled = SizedBox({ { 18, 18 }, { 18, 18 } });
    auto P = [&](TXSkinImagesBox* Box, Integer I) { return Box->Images()->Items(I)->ImageData(); };
    struct TCase {
        const char* Name;
        TXThnButtonBoxes Boxes;
        Integer Index;
        bool Enabled, IsHot;
        TXImageObject* Expected;
    } const Cases[] = {
        { "plain", { Plain.get(), Hot.get(), Disabled.get() }, 2, true, false, P(Plain.get(), 2) },
        { "hot has it", { Plain.get(), Hot.get(), Disabled.get() }, 0, true, true, P(Hot.get(), 0) },
        { "hot lacks it", { Plain.get(), Hot.get(), Disabled.get() }, 2, true, true, P(Plain.get(), 2) },
        { "disabled has it", { Plain.get(), Hot.get(), Disabled.get() }, 1, false, true, P(Disabled.get(), 1) },
        { "disabled lacks it", { Plain.get(), Hot.get(), Disabled.get() }, 2, false, false, P(Plain.get(), 2) },
        { "no hot box", { Plain.get(), nullptr, nullptr }, 1, true, true, P(Plain.get(), 1) },
        { "no disabled box", { Plain.get(), nullptr, nullptr }, 1, false, false, P(Plain.get(), 1) },
        { "past every box", { Plain.get(), Hot.get(), Disabled.get() }, 3, true, true, nullptr },
        { "negative", { Plain.get(), Hot.get(), Disabled.get() }, -1, true, false, nullptr },
        { "no plain box", { nullptr, Hot.get(), nullptr }, 0, true, false, nullptr },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(ThnButtonImage(C.Boxes, C.Index, C.Enabled, C.IsHot), C.Expected);
    }
}
