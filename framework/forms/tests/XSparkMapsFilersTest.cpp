#include "MapsTestSupport.h"
#include "core/XCore.Errors.h"
#include "core/XCore.QStream.h"
#include "forms/XSpark.Maps.Filers.h"

using namespace MapTests;
using XSpark::Actions::Hit::TXAreaCollection;

namespace {

Testing::Bytes Saved(TClass Filer, TObject* Data)
{
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    EXPECT_TRUE(FilerSaveToStream(S.get(), Filer, Data, false, nullptr));
    return Testing::StreamBytes(S.get());
}

bool Loaded(const Testing::Bytes& B, TClass Filer, TObject* Data)
{
    TOwnedPtr<TBytesStream> S(New<TBytesStream>(std::vector<Byte>(B)));
    return FilerLoadFromStream(S.get(), Filer, Data, false, nullptr);
}

// The kinds of the headers of the container's group "Data".
std::vector<Integer> HeaderKinds(const Testing::Bytes& B)
{
    TOwnedPtr<TBytesStream> S(New<TBytesStream>(std::vector<Byte>(B)));
    auto C = MakeOwned<TXQStream>();
    EXPECT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    std::vector<Integer> Kinds;
    if (TXRGroupObject* G = C->Groups()->SelectGroup(u"Data"))
        for (Integer I = 0; I < G->Headers->Count(); ++I)
            Kinds.push_back(G->Headers->Items(I)->Body.Kind);
    return Kinds;
}

TOwnedPtr<TXSimpleMapObject> SimpleMap()
{
    TOwnedPtr<TXSimpleMapObject> M(New<TXSimpleMapObject>());
    TOwnedPtr<TBitmap> Bmp(GdiTest::SolidBitmap(pf24bit, 30, 20, clRed));
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp.get());
    EXPECT_TRUE(M->LoadFromObject(Png.get()));
    M->SetAlpha(128);
    M->SetBlendContrast(7);
    M->SetBlend(true);
    M->Hit()->SetHit(xhtWeb);
    M->Hit()->SetArgs(u"https://example.com/");
    M->Hit()->SetHint(u"Our site");
    return M;
}

} // namespace

TEST(MapObjects, ClearAssignAndSizes)
{
    TOwnedPtr<TXSimpleMapObject> M(SimpleMap());
    TOwnedPtr<TXSimpleMapObject> Copy(New<TXSimpleMapObject>());
    Copy->Assign(M.get());
    EXPECT_EQ(Copy->Alpha(), 128);
    EXPECT_EQ(Copy->BlendContrast(), 7);
    EXPECT_TRUE(Copy->Blend());
    EXPECT_EQ(Copy->Hit()->Hit(), xhtWeb);
    EXPECT_EQ(Copy->Hit()->Hint(), u"Our site");
    EXPECT_EQ(Copy->Width(), 30);
    EXPECT_EQ(Copy->DataStream()->Size(), M->DataStream()->Size());

    M->Clear();
    EXPECT_EQ(M->Alpha(), 255);
    EXPECT_EQ(M->BlendContrast(), 50);
    EXPECT_FALSE(M->Blend());
    EXPECT_EQ(M->Hit()->Hit(), xhtNone);
    EXPECT_EQ(M->Hit()->Cursor(), 0);
    for (const String& Text : { M->Hit()->Caption(), M->Hit()->Command(), M->Hit()->Args(), M->Hit()->Hint() })
        EXPECT_TRUE(Text.empty());

    TOwnedPtr<TXMapDataObject> Data(New<TXMapDataObject>());
    EXPECT_EQ(Data->Width(), 0);
    EXPECT_EQ(Data->Height(), 0);
    TOwnedPtr<TXMapObject> Map(New<TXMapObject>());
    FillMap(Map.get(), true);
    TOwnedPtr<TXMapObject> MapCopy(New<TXMapObject>());
    MapCopy->Assign(Map.get());
    EXPECT_EQ(MapCopy->ImagesSuffix(), u"menu");
    EXPECT_EQ(MapCopy->Areas()->Count(), 3);
    EXPECT_EQ(MapCopy->Areas()->Items(2)->Rect(), Rect(110, 10, 190, 40));
    EXPECT_EQ(MapCopy->Images()->Count(), 4);
    // Assigned again, nothing doubles; a map given itself keeps its content.
    MapCopy->Assign(Map.get());
    MapCopy->Assign(MapCopy.get());
    EXPECT_EQ(MapCopy->Areas()->Count(), 3);
    EXPECT_EQ(MapCopy->Images()->Count(), 4);
    Data->Images()->AppendFrom(Map->Images());
    EXPECT_EQ(Data->Width(), 200);
    EXPECT_EQ(Data->Height(), 100);
}

TEST(MapFilers, RoundTripsAndLayout)
{
    TOwnedPtr<TXSimpleMapObject> M(SimpleMap());
    const Testing::Bytes Simple = Saved(TXRSimpleMapObjectFiler::StaticClass(), M.get());
    EXPECT_EQ(HeaderKinds(Simple), std::vector<Integer>({ 3 }));
    TOwnedPtr<TXSimpleMapObject> Back(New<TXSimpleMapObject>());
    ASSERT_TRUE(Loaded(Simple, TXRSimpleMapObjectFiler::StaticClass(), Back.get()));
    EXPECT_EQ(Back->Alpha(), 128);
    EXPECT_TRUE(Back->Blend());
    EXPECT_EQ(Back->Hit()->Args(), u"https://example.com/");
    EXPECT_EQ(Testing::StreamBytes(Back->DataStream()), Testing::StreamBytes(M->DataStream()));
    TOwnedPtr<TGraphic> G(Back->ToGraphic());
    EXPECT_EQ(G->Width(), 30);

    // A map: header 0 for the map, one of kind 1000 per picture.
    struct TCase {
        const char* Name;
        bool Pictures;
        std::vector<Integer> Kinds;
    };
    for (const TCase& C : { TCase { "without pictures", false, { 3 } },
             TCase { "four state pictures", true, { 3, 1000, 1000, 1000, 1000 } } }) {
        SCOPED_TRACE(C.Name);
        TOwnedPtr<TXMapObject> Map(New<TXMapObject>());
        FillMap(Map.get(), true);
        if (!C.Pictures)
            Map->Images()->Clear();
        const Testing::Bytes B = Saved(TXRMapObjectFiler::StaticClass(), Map.get());
        EXPECT_EQ(HeaderKinds(B), C.Kinds);
        TOwnedPtr<TXMapObject> MapBack(New<TXMapObject>());
        ASSERT_TRUE(Loaded(B, TXRMapObjectFiler::StaticClass(), MapBack.get()));
        EXPECT_EQ(MapBack->ImagesSuffix(), u"menu");
        ASSERT_EQ(MapBack->Areas()->Count(), 3);
        EXPECT_EQ(MapBack->Areas()->Items(1)->Rect(), Rect(10, 10, 90, 40));
        EXPECT_EQ(MapBack->Areas()->Items(1)->Command(), u"next");
        ASSERT_EQ(MapBack->Images()->Count(), Map->Images()->Count());
        for (Integer I = 0; I < Map->Images()->Count(); ++I) {
            EXPECT_EQ(MapBack->Images()->Items(I)->GetName(), Map->Images()->Items(I)->GetName());
            EXPECT_EQ(Testing::StreamBytes(MapBack->Images()->Items(I)->ImageData()->DataStream()),
                Testing::StreamBytes(Map->Images()->Items(I)->ImageData()->DataStream()));
        }
    }
}

TEST(MapFilers, WrongIdentityAndWrongDataClass)
{
    TOwnedPtr<TXMapObject> Map(New<TXMapObject>());
    FillMap(Map.get(), false);
    const Testing::Bytes MapFile = Saved(TXRMapObjectFiler::StaticClass(), Map.get());
    TOwnedPtr<TXSimpleMapObject> M(SimpleMap());
    const Testing::Bytes SimpleFile = Saved(TXRSimpleMapObjectFiler::StaticClass(), M.get());

    // Each filer refuses the other's file by the identity name.
    TOwnedPtr<TXSimpleMapObject> S(New<TXSimpleMapObject>());
    EXPECT_FALSE(Loaded(MapFile, TXRSimpleMapObjectFiler::StaticClass(), S.get()));
    EXPECT_EQ(GetXErrorCode(), xecContainerHeader);
    TOwnedPtr<TXMapObject> Other(New<TXMapObject>());
    EXPECT_FALSE(Loaded(SimpleFile, TXRMapObjectFiler::StaticClass(), Other.get()));
    EXPECT_EQ(GetXErrorCode(), xecContainerHeader);

    // A data object of another class: no group, so the save writes the
    // file header alone and a load reads nothing into it.
    TOwnedPtr<TXMapDataObject> Data(New<TXMapDataObject>());
    const Testing::Bytes Empty = Saved(TXRMapObjectFiler::StaticClass(), Data.get());
    EXPECT_TRUE(HeaderKinds(Empty).empty());
    EXPECT_LT(Empty.size(), SimpleFile.size());
    EXPECT_TRUE(Loaded(MapFile, TXRMapObjectFiler::StaticClass(), Data.get()));
    EXPECT_EQ(Data->Areas()->Count(), 0);
}
