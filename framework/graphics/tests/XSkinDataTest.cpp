#include "core/XCore.ComponentText.h"
#include "graphics/XSkin.h"
#include "graphics/XSkinData.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace {

// Boxes offered by the application skin for the time of a test, owned by a
// data module.
class SkinBoxes : public testing::Test {
protected:
    TXSkinImagesBox* Offer(const char16_t* ImagesName)
    {
        auto* Box = New<TXSkinImagesBox>(Module.get());
        Box->SetImagesName(ImagesName);
        AppSkin()->ImagesList()->Add(Box);
        return Box;
    }
    void TearDown() override
    {
        Module.reset();
        EXPECT_EQ(AppSkin()->ImagesList()->Count(), 0);
    }

    TOwnedPtr<TComponent> Module { New<TComponent>(nullptr) };
};

// A persistent holding colour data, for the text form.
class TSkinColorHolder : public TXPersistent {
    X_CLASS(TSkinColorHolder, TXPersistent)
public:
    void Init() override
    {
        inherited::Init();
        States.reset(New<TXColorData>());
        Form.reset(New<TXFormColorData>());
    }
    bool AssignFrom(TPersistent* Source) override
    {
        if (auto* Other = DynamicCast<TSkinColorHolder>(Source)) {
            States->Assign(Other->States.get());
            Form->Assign(Other->Form.get());
        }
        return inherited::AssignFrom(Source);
    }
    TXColorData* GetStates() const { return States.get(); }
    TXFormColorData* GetForm() const { return Form.get(); }
    TOwnedPtr<TXColorData> States;
    TOwnedPtr<TXFormColorData> Form;
};
X_REGISTER_CLASS(TSkinColorHolder)
X_PUBLISHED(TSkinColorHolder)
{
    X_PROP_READONLY(States, GetStates);
    X_PROP_READONLY(Form, GetForm);
}

}

TEST(SkinColors, DefaultsAssignmentAndTheTextForm)
{
    TOwnedPtr<TXColorData> C(New<TXColorData>());
    for (Integer S = cstGroupDis; S <= cstHotMix; ++S)
        EXPECT_EQ(C->Colors(TXPaintState(S)), clBtnFace) << S;
    C->SetColors(cstHot, 0x112233);
    C->SetColors(cstHotMix, 0x445566);
    EXPECT_EQ(C->Colors(cstHot), 0x112233);
    EXPECT_EQ(C->Colors(cstOff), clBtnFace);

    TOwnedPtr<TXFormColorData> F(New<TXFormColorData>());
    EXPECT_EQ(F->colOff(), clBtnFace);
    EXPECT_EQ(F->colOn(), clBtnFace);
    EXPECT_EQ(F->Alpha(), 255);
    F->SetcolOn(0x00FF00);
    F->SetAlpha(128);
    EXPECT_EQ(F->Colors(true), 0x00FF00);
    EXPECT_EQ(F->Colors(false), clBtnFace);

    TOwnedPtr<TXFormColorData> G(New<TXFormColorData>());
    G->Assign(F.get());
    EXPECT_EQ(G->colOn(), 0x00FF00);
    EXPECT_EQ(G->Alpha(), 128);
    // Active colours from a plain active colour data: the alpha stays.
    TOwnedPtr<TXActiveColorData> A(New<TXActiveColorData>());
    A->SetcolOff(0x0000FF);
    G->Assign(A.get());
    EXPECT_EQ(G->colOff(), 0x0000FF);
    EXPECT_EQ(G->Alpha(), 128);

    // Only what differs from the defaults is stored, and it reads back.
    TOwnedPtr<TSkinColorHolder> H(New<TSkinColorHolder>());
    H->States->Assign(C.get());
    H->Form->Assign(F.get());
    String Text;
    ASSERT_TRUE(SaveObjectToText(H.get(), Text, true, false, nullptr));
    EXPECT_NE(Text.find(u"colHotMix"), String::npos);
    EXPECT_EQ(Text.find(u"colDis"), String::npos) << StringToUTF8(Text);
    TOwnedPtr<TSkinColorHolder> Back(New<TSkinColorHolder>());
    ASSERT_TRUE(LoadObjectFromText(Back.get(), Text, nullptr, false));
    EXPECT_EQ(Back->States->Colors(cstHotMix), 0x445566);
    EXPECT_EQ(Back->States->Colors(cstDis), clBtnFace);
    EXPECT_EQ(Back->Form->Alpha(), 128);
}

TEST_F(SkinBoxes, ListsFindBoxesByTheirImagesName)
{
    TXSkinImagesBox* A = Offer(u"Glyphs");
    A->SetName(u"Other");
    TXSkinImagesBox* B = Offer(u"Glyphs");
    EXPECT_EQ(AppSkin()->ImagesList()->FindByName(u"Glyphs"), A);
    EXPECT_EQ(AppSkin()->ImagesList()->FindByName(u"glyphs"), nullptr);
    EXPECT_EQ(AppSkin()->ImagesList()->FindByName(u"Other"), nullptr);
    A->Free();
    EXPECT_EQ(AppSkin()->ImagesList()->FindByName(u"Glyphs"), B);
    EXPECT_EQ(AppSkin()->ImagesList()->GetItem(0), B);
}

TEST_F(SkinBoxes, ImageDataBindsItsBoxesByName)
{
    TXSkinImagesBox* Glyphs = Offer(u"Glyphs");
    TXSkinImagesBox* Layer = Offer(u"Layer");
    TOwnedPtr<TXLayerGlyphImageData> Data(New<TXLayerGlyphImageData>(nullptr));
    EXPECT_EQ(Data->imgRgn(), -1);
    EXPECT_EQ(Data->ImageIndex(cstHot), 0);
    Data->SetImagesName(u"Glyphs");
    Data->SetGlyphImagesName(u"Layer");
    EXPECT_EQ(Data->Images(), Glyphs);
    EXPECT_EQ(Data->GlyphImages(), Layer);
    Data->SetImagesName(u"");
    EXPECT_EQ(Data->Images(), Glyphs); // an empty name binds nothing
    Data->SetImagesName(u"Missing");
    EXPECT_EQ(Data->Images(), nullptr);
    EXPECT_EQ(Data->ImagesName(), u"Missing");

    Data->SetImagesName(u"Glyphs");
    Data->SetImageIndex(cstPress, 3);
    Data->SetimgRgn(2);
    TOwnedPtr<TXLayerGlyphImageData> Copy(New<TXLayerGlyphImageData>(nullptr));
    Copy->Assign(Data.get());
    EXPECT_EQ(Copy->Images(), Glyphs);
    EXPECT_EQ(Copy->GlyphImages(), Layer);
    EXPECT_EQ(Copy->ImagesName(), u"Glyphs");
    EXPECT_EQ(Copy->GlyphImagesName(), u"Layer");
    EXPECT_EQ(Copy->ImageIndex(cstPress), 3);
    EXPECT_EQ(Copy->imgRgn(), 2);
}

TEST_F(SkinBoxes, GlyphImageDataTakesOneBoxPerStatePrefix)
{
    TXSkinImagesBox* Hot = Offer(u"Hot_Close");
    TXSkinImagesBox* Off = Offer(u"Off_Close");
    TXSkinImagesBox* HotMix = Offer(u"HotMix_Close");
    Offer(u"Press_Open");
    TOwnedPtr<TXGlyphImageData> Data(New<TXGlyphImageData>(nullptr));
    Data->SetImagesName(u"Close");
    EXPECT_EQ(Data->Images(cstHot), Hot);
    EXPECT_EQ(Data->Images(cstOff), Off);
    EXPECT_EQ(Data->Images(cstHotMix), HotMix);
    EXPECT_EQ(Data->Images(cstPress), nullptr);
    EXPECT_EQ(Data->Images(cstDis), nullptr);
    // Another name rebinds every state.
    Data->SetImagesName(u"Open");
    EXPECT_EQ(Data->Images(cstHot), nullptr);
    EXPECT_NE(Data->Images(cstPress), nullptr);
}

TEST_F(SkinBoxes, AFreedBoxClearsEveryReferenceToIt)
{
    TXSkinImagesBox* Box = Offer(u"Hot_Close");
    TXSkinImagesBox* Kept = Offer(u"Off_Close");
    TOwnedPtr<TXGlyphImageData> Glyphs(New<TXGlyphImageData>(nullptr));
    Glyphs->SetImagesName(u"Close");
    Glyphs->SetImages(cstPress, Box); // the same box for two states
    TOwnedPtr<TXGlyphImageData> GlyphsCopy(New<TXGlyphImageData>(nullptr));
    GlyphsCopy->Assign(Glyphs.get());
    TOwnedPtr<TXLayerGlyphImageData> Layered(New<TXLayerGlyphImageData>(nullptr));
    Layered->SetImages(Box);
    Layered->SetGlyphImages(Box);
    // Let go of in one slot, still held in the other.
    TOwnedPtr<TXImageData> Plain(New<TXImageData>(nullptr));
    Plain->SetImages(Box);
    Plain->SetImages(Kept);
    Plain->SetImages(Box);

    Box->Free();
    for (TXGlyphImageData* G : { Glyphs.get(), GlyphsCopy.get() }) {
        EXPECT_EQ(G->Images(cstHot), nullptr);
        EXPECT_EQ(G->Images(cstPress), nullptr);
        EXPECT_EQ(G->Images(cstOff), Kept);
    }
    EXPECT_EQ(Layered->Images(), nullptr);
    EXPECT_EQ(Layered->GlyphImages(), nullptr);
    EXPECT_EQ(Plain->Images(), nullptr);
    EXPECT_EQ(AppSkin()->ImagesList()->IndexOf(Box), -1);
    // The image data may go first too.
    Glyphs.reset();
    Kept->Free();
    EXPECT_EQ(GlyphsCopy->Images(cstOff), nullptr);
}
