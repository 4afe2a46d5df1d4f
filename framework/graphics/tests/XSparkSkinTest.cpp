#include "graphics/XSpark.Skin.h"
#include <gtest/gtest.h>

namespace {

TXImagesBox* NewBox(const String& Name)
{
    TXImagesBox* Box = New<TXImagesBox>(static_cast<TComponent*>(nullptr));
    Box->SetName(Name);
    return Box;
}

TEST(QVSkin, ReferencesFallBackToTheDefaultBoxWhenClearedOrFreed)
{
    TOwnedPtr<TXQVSkin> Skin(New<TXQVSkin>(static_cast<TComponent*>(nullptr)));
    ASSERT_NE(DefaultImagesBox(), nullptr);
    for (TXSkinImagesKind K : { sikApp, sikError, sikInfo, sikQuestion, sikWarning })
        EXPECT_EQ(Skin->Images(K), DefaultImagesBox());

    TXImagesBox* Box = NewBox(u"Warn");
    Skin->SetWarningImages(Box);
    Skin->SetErrorImages(Box);
    EXPECT_EQ(Skin->WarningImages(), Box);
    Skin->SetErrorImages(nullptr);
    EXPECT_EQ(Skin->ErrorImages(), DefaultImagesBox());
    Box->Free();
    EXPECT_EQ(Skin->WarningImages(), DefaultImagesBox());
}

TEST(QVSkin, NamedBoxesAreFoundByExactNameAndLeaveTheListWhenFreed)
{
    TOwnedPtr<TXQVSkin> Skin(New<TXQVSkin>(static_cast<TComponent*>(nullptr)));
    TOwnedPtr<TXImagesBox> Glyphs(NewBox(u"Glyphs")), Other(NewBox(u"Glyphs"));
    TXImagesBox* Gone = NewBox(u"Gone");
    Skin->AddImagesBox(Glyphs.get());
    Skin->AddImagesBox(Glyphs.get());
    Skin->AddImagesBox(Other.get());
    Skin->AddImagesBox(Gone);
    EXPECT_EQ(Skin->ImagesBoxes()->Count(), 3);
    EXPECT_EQ(Skin->GetImagesBox(u"Glyphs"), Glyphs.get()); // the first match
    EXPECT_EQ(Skin->GetImagesBox(u"glyphs"), DefaultImagesBox()); // case counts
    EXPECT_EQ(Skin->GetImagesBox(u"Gone"), Gone);
    Gone->Free();
    EXPECT_EQ(Skin->ImagesBoxes()->Count(), 2);
    EXPECT_EQ(Skin->GetImagesBox(u"Gone"), DefaultImagesBox());
}

TEST(QVSkin, TheGlobalSkinAnswersTheDefaultBoxForAnUnknownName)
{
    ASSERT_NE(QVSkin(), nullptr);
    EXPECT_EQ(SkinImagesBox(u"No such box"), DefaultImagesBox());
    EXPECT_NE(SkinImagesBox(u"No such box"), nullptr);
}

}
