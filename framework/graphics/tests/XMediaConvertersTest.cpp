#include "gdi/tests/GdiTestSupport.h"
#include "core/XCore.Errors.h"
#include "gdi/Icon.h"
#include "gdi/JpegImage.h"
#include "gdi/Metafile.h"
#include "graphics/XMedia.Converters.h"
#include "graphics/XMedia.JPEG.h"

using namespace GdiTest;

namespace {

TOwnedPtr<TBitmap> Sample(Integer W = 24, Integer H = 16)
{
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, W, H, clWhite));
    Bmp->FillRect(Rect(0, 0, W / 2, H / 2), clRed);
    Bmp->FillRect(Rect(W / 2, H / 2, W, H), clBlue);
    return Bmp;
}

// One picture of every stored class, each 24 x 16.
std::vector<TOwnedPtr<TGraphic>> EveryClass(const Testing::TTempFolder& Folder)
{
    std::vector<TOwnedPtr<TGraphic>> All;
    All.emplace_back(Sample().release());
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Sample().get());
    All.emplace_back(Png.release());
    TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
    Jpeg->Assign(Sample().get());
    All.emplace_back(Jpeg.release());
    TOwnedPtr<TMetafile> Mf(MakeOwned<TMetafile>());
    Mf->SetSize(24, 16);
    {
        TOwnedPtr<TMetafileCanvas> C(MakeOwned<TMetafileCanvas>(Mf.get()));
        C->Brush()->SetColor(clRed);
        C->FillRect(Rect(0, 0, 12, 8));
    }
    All.emplace_back(Mf.release());
    if (Testing::RunTool({ "convert", "-size", "24x16", "xc:red", "x.ico" }, Folder.Path()).ExitCode == 0) {
        TOwnedPtr<TIcon> Icon(MakeOwned<TIcon>());
        Icon->LoadFromFile(Folder.File("x.ico"));
        All.emplace_back(Icon.release());
    }
    return All;
}

} // namespace

TEST(Converters, EveryStoredClassThereAndBack)
{
    Testing::TTempFolder Folder;
    const auto All = EveryClass(Folder);
    EXPECT_EQ(All.size(), 5u);
    for (const auto& G : All) {
        const std::string Name = StringToUTF8(G->ClassName());
        TOwnedPtr<TXImageObject> Stored(New<TXImageObject>());
        IPtr<IXObjectConverter<TXImageObject*>>(New<TXGraphicToImageObjectConverter>(G.get()))->Convert(Stored.get());
        EXPECT_EQ(Stored->DataClass(), G->ClassName()) << Name;
        EXPECT_EQ(Stored->Size(), Stored->DataStream()->Size()) << Name;
        EXPECT_GT(Stored->Size(), 0) << Name;
        EXPECT_EQ(Stored->Width(), G->Width()) << Name;
        EXPECT_EQ(Stored->Height(), G->Height()) << Name;

        // Into a picture of the same class, holding the same bytes.
        TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
        IPtr<IXObjectConverter<TPicture*>>(New<TXImageObjectToPictureConverter>(Stored.get()))->Convert(Picture.get());
        ASSERT_NE(Picture->Graphic(), nullptr) << Name;
        EXPECT_TRUE(Picture->Graphic()->InheritsFrom(G->ClassType())) << Name;
        TOwnedPtr<TMemoryStream> Again(MakeOwned<TMemoryStream>());
        Picture->Graphic()->SaveToStream(Again.get());
        if (!G->InheritsFrom(TJPEGImage::StaticClass()))
            EXPECT_EQ(BytesOf(Again.get()), BytesOf(Stored->DataStream())) << Name;

        // Into a bitmap: the picture drawn at its size.
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Stored.get()))->Convert(Bmp.get());
        ASSERT_EQ(Bmp->Width(), 24) << Name;
        ASSERT_EQ(Bmp->Height(), 16) << Name;
        EXPECT_TRUE(Near(PixelAt(Bmp.get(), 2, 2), 255, 0, 0, 8)) << Name;
    }
}

TEST(Converters, JpegDecodesAsTheFrameworkClass)
{
    TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
    Jpeg->Assign(Sample().get());
    TOwnedPtr<TXImageObject> Stored(New<TXImageObject>());
    ASSERT_TRUE(Stored->LoadFromObject(Jpeg.get()));
    EXPECT_EQ(Stored->DataClass(), u"TJPEGImage");
    TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
    IPtr<IXObjectConverter<TPicture*>>(New<TXImageObjectToPictureConverter>(Stored.get()))->Convert(Picture.get());
    ASSERT_NE(Picture->Graphic(), nullptr);
    EXPECT_EQ(Picture->Graphic()->ClassType(), TXJPEGImage::StaticClass());
    // Loading a framework JPEG stores the common name too.
    TOwnedPtr<TXJPEGImage> X(MakeOwned<TXJPEGImage>());
    X->Assign(Sample().get());
    ASSERT_TRUE(Stored->LoadFromObject(X.get()));
    EXPECT_EQ(Stored->DataClass(), u"TJPEGImage");
}

TEST(Converters, ClassNamesFromDataMustNamePictureClasses)
{
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Sample().get());
    for (const char16_t* Name : { u"TXImageObject", u"TObject", u"TGraphic", u"Nonsense", u"TCanvas" }) {
        TOwnedPtr<TXImageObject> Stored(New<TXImageObject>());
        ASSERT_TRUE(Stored->LoadFromObject(Png.get()));
        Stored->SetDataClass(Name);
        // The picture keeps what it had.
        TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
        Picture->SetGraphic(Sample().get());
        IPtr<IXObjectConverter<TPicture*>>(New<TXImageObjectToPictureConverter>(Stored.get()))->Convert(Picture.get());
        ASSERT_NE(Picture->Graphic(), nullptr);
        EXPECT_EQ(Picture->Graphic()->ClassType(), TBitmap::StaticClass()) << StringToUTF8(Name);
        // The bitmap is 0 x 0.
        TOwnedPtr<TBitmap> Bmp(Sample());
        IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Stored.get()))->Convert(Bmp.get());
        EXPECT_TRUE(Bmp->Empty()) << StringToUTF8(Name);
        // Loading under that name clears and fails.
        Stored->DataStream()->SetPosition(0);
        TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
        Bytes->CopyFrom(Stored->DataStream(), 0);
        EXPECT_FALSE(Stored->LoadFromStream(Name, Bytes.get())) << StringToUTF8(Name);
        EXPECT_TRUE(Stored->IsEmpty());
        EXPECT_TRUE(Stored->DataClass().empty());
    }
}

TEST(Converters, StoredSizesGiveWayToTheDecodedOne)
{
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Sample().get());
    const struct {
        Integer W, H, WantW, WantH;
    } Cases[] = {
        { 0, 16, 24, 16 }, { 24, -3, 24, 16 }, { -1, -1, 24, 16 }, { 100000, 100000, 24, 16 },
        { 60000, 60000, 24, 16 }, // beyond the cap
        { 48, 32, 48, 32 }, // stored wins: drawn at that size
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TXImageObject> Stored(New<TXImageObject>());
        ASSERT_TRUE(Stored->LoadFromObject(Png.get()));
        Stored->SetWidth(C.W);
        Stored->SetHeight(C.H);
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Stored.get()))->Convert(Bmp.get());
        EXPECT_EQ(Bmp->Width(), C.WantW) << C.W << "x" << C.H;
        EXPECT_EQ(Bmp->Height(), C.WantH) << C.W << "x" << C.H;
    }
    // Without data or a class name the bitmap is not touched.
    TOwnedPtr<TXImageObject> Empty(New<TXImageObject>());
    TOwnedPtr<TBitmap> Bmp(Sample());
    IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Empty.get()))->Convert(Bmp.get());
    EXPECT_EQ(Bmp->Width(), 24);
    // Bytes that do not decode: 0 x 0.
    TOwnedPtr<TXImageObject> Junk(New<TXImageObject>());
    Junk->SetDataClass(u"TPngImage");
    Junk->DataStream()->WriteBuffer("junk", 4);
    IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Junk.get()))->Convert(Bmp.get());
    EXPECT_TRUE(Bmp->Empty());
}

TEST(StoredPictures, LoadingChecksTheBytes)
{
    Testing::TTempFolder Folder;
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Sample().get());
    TOwnedPtr<TMemoryStream> PngBytes(MakeOwned<TMemoryStream>());
    Png->SaveToStream(PngBytes.get());

    TOwnedPtr<TXImageObject> Stored(New<TXImageObject>());
    ClearXError();
    EXPECT_FALSE(Stored->LoadFromStream(u"TBitmap", PngBytes.get()));
    EXPECT_TRUE(Stored->IsEmpty());
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    ASSERT_TRUE(Stored->LoadFromStream(u"TPngImage", PngBytes.get()));
    EXPECT_EQ(Stored->ImageSize(), (TXSize { 24, 16 }));
    EXPECT_EQ(Stored->Size(), PngBytes->Size());

    // A file: the class from its extension, whatever the plain blob makes
    // of the extension.
    Png->SaveToFile(Folder.File("pic.png"));
    ASSERT_TRUE(Stored->LoadFromFile(Folder.File("pic.png"), false));
    EXPECT_EQ(Stored->DataClass(), u"TPngImage");
    EXPECT_TRUE(Stored->IsTransparent());
    EXPECT_FALSE(Stored->IsIcon());
    Testing::WriteFileBytes(Folder / "bad.png", { 1, 2, 3 });
    EXPECT_FALSE(Stored->LoadFromFile(Folder.File("bad.png"), false));
    EXPECT_TRUE(Stored->IsEmpty());

    // From an image item: its picture.
    TOwnedPtr<TXImageCollection> Images(New<TXImageCollection>(static_cast<TPersistent*>(nullptr)));
    TXImageItem* Item = Images->Add();
    ASSERT_TRUE(Item->ImageData()->LoadFromObject(Png.get()));
    ASSERT_TRUE(Stored->LoadFromObject(Item));
    EXPECT_EQ(Stored->DataClass(), u"TPngImage");
}

TEST(StoredPictures, ItemsAndBoxesCopy)
{
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Sample().get());
    TOwnedPtr<TXThnImageCollection> Thns(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
    TXThnImageItem* A = Thns->Add();
    A->SetName(u"a");
    A->ImageData()->LoadFromObject(Png.get());
    A->Thn()->LoadFromObject(Sample(6, 4).get());
    TXThnImageItem* B = Thns->Add();
    B->Assign(A);
    EXPECT_EQ(B->Thn()->Width(), 6);
    EXPECT_EQ(B->ImageData()->DataClass(), u"TPngImage");
    B->SetStoreData(false);
    EXPECT_FALSE(B->Thn()->StoreData());
    EXPECT_FALSE(B->ImageData()->StoreData());

    TOwnedPtr<TXTemplateCollection> Templates(New<TXTemplateCollection>(static_cast<TPersistent*>(nullptr)));
    TXTemplateItem* T1 = Templates->Add();
    T1->TemplateData()->DataStream()->WriteBuffer("tpl", 3);
    T1->Caption()->Add()->SetName(u"Caption");
    TXTemplateItem* T2 = Templates->Add();
    T2->Assign(T1);
    EXPECT_EQ(T2->TemplateData()->DataStream()->Size(), 3);
    EXPECT_EQ(T2->Caption()->Count(), 1);

    // Boxes: a copy replaces the target's pictures; the source stays.
    TOwnedPtr<TXImagesBox> Src(New<TXImagesBox>(static_cast<TComponent*>(nullptr))),
        Dst(New<TXImagesBox>(static_cast<TComponent*>(nullptr)));
    for (const char16_t* N : { u"one", u"two" })
        Src->Images()->Add()->SetName(N);
    Dst->Images()->Add()->SetName(u"old");
    Dst->Assign(Src.get());
    ASSERT_EQ(Dst->Images()->Count(), 2);
    EXPECT_EQ(Dst->Images()->Items(0)->GetName(), u"one");
    EXPECT_EQ(Src->Images()->Count(), 2);
    // A box given itself keeps its pictures.
    Dst->Assign(Dst.get());
    EXPECT_EQ(Dst->Images()->Count(), 2);

    // The box list finds by component name, case-sensitive.
    TOwnedPtr<TXImagesBoxList> List(New<TXImagesBoxList>());
    Src->SetName(u"Glyphs");
    List->Add(Src.get());
    EXPECT_EQ(List->FindByName(u"Glyphs"), Src.get());
    EXPECT_EQ(List->FindByName(u"glyphs"), nullptr);
    EXPECT_EQ(List->IndexOfName(u"Other"), -1);
}
