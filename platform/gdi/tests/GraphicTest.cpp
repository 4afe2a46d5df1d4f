#include "GdiTestSupport.h"
#include "gdi/JpegImage.h"
#include "gdi/Picture.h"
#include "gdi/PngImage.h"
#include "rtl/StringList.h"
#include <random>

using namespace GdiTest;

TEST(GraphicRegistry, FindsPictureClassesByTheirStoredNames)
{
    struct Case {
        const char16_t* Name;
        TClass Expected;
    } Cases[] = {
        { u"TBitmap", TBitmap::StaticClass() },
        { u"TJPEGImage", TJPEGImage::StaticClass() },
        { u"TPngImage", TPngImage::StaticClass() },
        { u"tpngimage", TPngImage::StaticClass() },
        { u"TGraphic", TGraphic::StaticClass() },
        { u"TStringList", nullptr },
        { u"TNoSuchImage", nullptr },
        { u"", nullptr },
    };
    for (const Case& C : Cases)
        EXPECT_EQ(FindGraphicClass(C.Name), C.Expected) << StringToUTF8(C.Name);
}

TEST(GraphicRegistry, NewGraphicCreatesOnlyConcretePictures)
{
    for (const char16_t* Name : { u"TBitmap", u"TJPEGImage", u"TPngImage" }) {
        TOwnedPtr<TGraphic> G(NewGraphic(FindGraphicClass(Name)));
        EXPECT_EQ(G->ClassName(), Name);
        EXPECT_TRUE(G->Empty());
        EXPECT_EQ(G->Width(), 0);
    }
    for (TClass Class : { TClass(nullptr), TGraphic::StaticClass(), TStringList::StaticClass() })
        EXPECT_THROW(NewGraphic(Class), EInvalidGraphic);
}

TEST(Picture, LoadsFilesByExtensionAndKeepsItsPictureOnFailure)
{
    TempDir Dir;
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetSize(6, 3);
    Bmp->Fill(RGB(1, 2, 3));
    Bmp->SaveToFile(Path(Dir / "a.bmp"));
    auto Png = MakeOwned<TPngImage>();
    Png->Assign(Bmp.get());
    Png->SaveToFile(Path(Dir / "b.PNG"));
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->Assign(Bmp.get());
    Jpeg->SaveToFile(Path(Dir / "c.jpeg"));
    WriteBytes(Dir / "png-bytes.bmp", ReadBytes(Dir / "b.PNG"));

    struct Case {
        const char* File;
        const char16_t* ClassName;
    } Cases[] = { { "a.bmp", u"TBitmap" }, { "b.PNG", u"TPngImage" }, { "c.jpeg", u"TJPEGImage" } };
    auto Picture = MakeOwned<TPicture>();
    for (const Case& C : Cases) {
        Picture->LoadFromFile(Path(Dir / C.File));
        ASSERT_TRUE(Picture->Graphic()) << C.File;
        EXPECT_EQ(Picture->Graphic()->ClassName(), C.ClassName) << C.File;
        EXPECT_EQ(Picture->Width(), 6) << C.File;
        EXPECT_EQ(Picture->Height(), 3) << C.File;
    }
    for (const char* Bad : { "png-bytes.bmp", "missing.png", "a.gif", "noextension" }) {
        EXPECT_ANY_THROW(Picture->LoadFromFile(Path(Dir / Bad))) << Bad;
        EXPECT_EQ(Picture->Graphic()->ClassName(), u"TJPEGImage") << Bad;
    }
    EXPECT_THROW(Picture->LoadFromFile(Path(Dir / "x.gif")), EInvalidGraphic);
}

TEST(Picture, HoldsACopyOfTheGraphicItIsGiven)
{
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetSize(4, 4);
    Bmp->Fill(clBlue);
    auto Picture = MakeOwned<TPicture>();
    Picture->SetGraphic(Bmp.get());
    Bmp->Fill(clRed);
    Bmp->SetSize(1, 1);
    auto* Held = DynamicCast<TBitmap>(Picture->Graphic());
    ASSERT_TRUE(Held);
    EXPECT_NE(Held, Bmp.get());
    EXPECT_EQ(Held->Width(), 4);
    EXPECT_EQ(Held->Pixel(3, 3), clBlue);
    auto Other = MakeOwned<TPicture>();
    Other->Assign(Picture.get());
    EXPECT_EQ(Other->Width(), 4);
    Other->Assign(nullptr);
    EXPECT_EQ(Other->Graphic(), nullptr);
    EXPECT_EQ(Other->Width(), 0);
}

TEST(GraphicRegistry, MutatedFilesLoadOrRaiseAPictureError)
{
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetSize(23, 11);
    for (Integer Y = 0; Y < 11; ++Y)
        Bmp->FillRect(Rect(Y, Y, 23, Y + 1), RGB(Byte(Y * 23), Byte(255 - Y), 99));
    std::mt19937 Random(1234);
    for (const char16_t* Name : { u"TBitmap", u"TJPEGImage", u"TPngImage" }) {
        TOwnedPtr<TGraphic> Original(NewGraphic(FindGraphicClass(Name)));
        Original->Assign(Bmp.get());
        auto Saved = MakeOwned<TMemoryStream>();
        Original->SaveToStream(Saved.get());
        const RawBytes Good = BytesOf(Saved.get());
        for (int Round = 0; Round < 300; ++Round) {
            RawBytes Bytes = Good;
            for (int Flips = 1 + int(Random() % 4); Flips > 0; --Flips)
                Bytes[Random() % Bytes.size()] = char(Random());
            if (Round % 10 == 0)
                Bytes.resize(Random() % Bytes.size());
            TOwnedPtr<TGraphic> G(NewGraphic(FindGraphicClass(Name)));
            try {
                G->LoadFromStream(StreamOf(Bytes).get());
                auto Target = MakeOwned<TBitmap>();
                Target->SetSize(8, 8);
                G->Draw(Target.get(), Rect(0, 0, 8, 8));
            } catch (const EInvalidGraphic&) { }
        }
    }
}
