#include "gdi/Icon.h"
#include "gdi/PngImage.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XSpark.Skin.Data.Win.h"
#include "graphics/XSpark.Skin.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace {

TOwnedPtr<TPngImage> PngOf(TXImageItem* Item)
{
    TOwnedPtr<TGraphic> G(Item->ImageData()->ToGraphic());
    auto* Png = DynamicCast<TPngImage>(G.get());
    if (!Png)
        return nullptr;
    G.release();
    return TOwnedPtr<TPngImage>(Png);
}

TEST(SkinWinData, EachMessageBoxHoldsItsPictureAt64AndResampledWithAlpha)
{
    TxskWinData* Data = xskWinData();
    ASSERT_NE(Data, nullptr);
    struct TBoxCase {
        TXImagesBox* Box;
        TXImageCollection* Skin;
    };
    const TBoxCase Boxes[] = { { Data->InfoImages(), SkinInfoImages() },
        { Data->QuestionImages(), SkinQuestionImages() }, { Data->ErrorImages(), SkinErrorImages() },
        { Data->WarningImages(), SkinWarningImages() } };
    // A sheet of every picture over grey, for a person to look at.
    TOwnedPtr<TBitmap> Sheet(MakeOwned<TBitmap>());
    Sheet->SetSize(4 * 176, 72);
    Sheet->Canvas()->Brush()->SetColor(0xC0C0C0);
    Sheet->Canvas()->FillRect({ 0, 0, Sheet->Width(), Sheet->Height() });
    Integer X = 4;
    for (const TBoxCase& C : Boxes) {
        EXPECT_EQ(C.Skin, C.Box->Images()); // the application skin took the box
        TXImageCollection* Images = C.Box->Images();
        ASSERT_EQ(Images->Count(), 4);
        const Integer Sizes[] = { 64, 48, 32, 16 };
        for (Integer I = 0; I < 4; ++I) {
            TXImageItem* Item = Images->Items(I);
            EXPECT_EQ(Item->DisplayName(), IntToStr(Sizes[I]));
            EXPECT_EQ(Item->ImageData()->DataClass(), u"TPngImage");
            TOwnedPtr<TPngImage> Png = PngOf(Item);
            ASSERT_TRUE(Png);
            ASSERT_EQ(Png->Width(), Sizes[I]);
            ASSERT_EQ(Png->Height(), Sizes[I]);
            ASSERT_TRUE(Png->HasAlpha());
            EXPECT_EQ(Png->AlphaScanline(0)[0], 0) << "a clear corner";
            EXPECT_EQ(Png->AlphaScanline(Sizes[I] * 2 / 3)[Sizes[I] / 2], 255) << "an opaque middle";
            DrawImageObjectAt(Sheet->Canvas(), X, 4, Item->ImageData());
            X += Sizes[I] + 4;
        }
    }
    TOwnedPtr<TPngImage> Out(MakeOwned<TPngImage>());
    Out->Assign(Sheet.get());
    Out->SaveToFile(S(Testing::TestPicturePath("skin-message-pictures.png").string()));
}

TEST(SkinWinData, TheApplicationBoxHoldsTheProgramIconWholeAndAt16And48)
{
    TXImageCollection* App = SkinAppImages();
    ASSERT_NE(App, nullptr);
    ASSERT_EQ(App->Count(), 3);
    TOwnedPtr<TBitmap> Sheet(MakeOwned<TBitmap>());
    Sheet->SetSize(4 + 3 * 52, 56);
    Sheet->Canvas()->Brush()->SetColor(0xE0E0E0);
    Sheet->Canvas()->FillRect({ 0, 0, Sheet->Width(), Sheet->Height() });
    const struct {
        const char16_t* Name;
        Integer Entries, Size;
    } Cases[] = { { u"Application", 3, 32 }, { u"Application16", 1, 16 }, { u"Application48", 1, 48 } };
    for (Integer I = 0; I < 3; ++I) {
        TXImageItem* Item = App->Items(I);
        EXPECT_EQ(Item->DisplayName(), Cases[I].Name);
        EXPECT_EQ(Item->ImageData()->DataClass(), u"TIcon");
        TOwnedPtr<TGraphic> G(Item->ImageData()->ToGraphic());
        auto* Icon = DynamicCast<TIcon>(G.get());
        ASSERT_NE(Icon, nullptr);
        TIconFile File;
        ASSERT_TRUE(ReadIconFile(Icon->Data(), File));
        EXPECT_EQ(Integer(File.Entries.size()), Cases[I].Entries);
        EXPECT_EQ(Icon->Width(), Cases[I].Size);
        const Integer Size = I == 0 ? 48 : Cases[I].Size;
        DrawIconData(Sheet->Canvas(), { 4 + I * 52, 4, 4 + I * 52 + Size, 4 + Size }, Icon->Data());
    }
    TOwnedPtr<TPngImage> Out(MakeOwned<TPngImage>());
    Out->Assign(Sheet.get());
    Out->SaveToFile(S(Testing::TestPicturePath("skin-program-icon.png").string()));
}

}
