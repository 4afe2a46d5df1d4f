#include "gdi/tests/GdiTestSupport.h"
#include "gdi/JpegImage.h"
#include "graphics/XMedia.Images.Filers.h"

using namespace GdiTest;
using Testing::Bytes;

namespace {

// Which group a filer uses for the "Images" collection; a test may make
// one item fail to be written or bind its picture at a bad index.
enum class TKind { Thn, Plain, FailSecond, BadIdx };

class TTestThnGroup : public TXRThnImageFilerGroup {
    X_CLASS(TTestThnGroup, TXRThnImageFilerGroup)
public:
    static inline TKind Kind = TKind::Thn;
    bool BeforeStoreItemData(TStream* Stream, Integer Flag) override
    {
        return Kind != TKind::FailSecond || ++FItems != 2;
    }
    void RegisterItemData(TObject* Item) override
    {
        inherited::RegisterItemData(Item);
        // An index past 65535 that a 16-bit cut would turn into the
        // picture's own resource (3).
        if (Kind == TKind::BadIdx && Entries()->Count() > 0)
            Entries()->Items(0)->SetIdx(65536 + 3);
    }

private:
    int FItems = 0;
};

class TImagesFiler : public TXRStreamFiler {
    X_CLASS(TImagesFiler, TXRStreamFiler)
public:
    static inline TKind Kind = TKind::Thn;
    static inline std::vector<String> Filter;
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override
    {
        inherited::DefineGroups(AData, AMode, AParts);
        TTestThnGroup::Kind = Kind;
        TXFilerGroup* G = Groups()->AddNamedGroup(this,
            Kind == TKind::Plain ? TXRImageFilerGroup::StaticClass() : TTestThnGroup::StaticClass(), AData, nullptr,
            u"Images");
        for (const String& F : Filter)
            G->Filter()->Add(F);
    }
};

X_REGISTER_CLASS(TTestThnGroup)
X_REGISTER_CLASS(TImagesFiler)

struct TUseKind {
    explicit TUseKind(TKind K) { TImagesFiler::Kind = K; }
    ~TUseKind() { TImagesFiler::Kind = TKind::Thn; }
};

TOwnedPtr<TBitmap> Picture(Integer Seed)
{
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, 40, 30, RGB(Byte(Seed * 60), 120, Byte(255 - Seed * 50))));
    Bmp->FillRect(Rect(Seed * 5, 5, Seed * 5 + 10, 20), clBlack);
    return Bmp;
}

TOwnedPtr<TXThnImageCollection> Thumbnails(Integer Count, Integer First = 0)
{
    TOwnedPtr<TXThnImageCollection> C(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
    for (Integer I = First; I < First + Count; ++I) {
        TXThnImageItem* Item = C->Add();
        Item->SetName(u"picture " + S(std::to_string(I)));
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Picture(I).get());
        Item->ImageData()->LoadFromObject(Png.get());
        TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
        Jpeg->Assign(Picture(I).get());
        Item->Thn()->LoadFromObject(Jpeg.get());
    }
    return C;
}

Bytes StreamOfBytes(TStream* S)
{
    return Testing::StreamBytes(S);
}

// Every picture that loaded decodes whole and equals what was written.
void ExpectSamePictures(TCollection* Got, TXThnImageCollection* Want, bool Thumbs)
{
    for (Integer I = 0; I < Got->Count(); ++I) {
        auto* G = DynamicCast<TXImageItem>(Got->Items(I));
        ASSERT_NE(G, nullptr);
        auto* W = static_cast<TXThnImageItem*>(Want->FindByName(G->GetName()));
        ASSERT_NE(W, nullptr) << StringToUTF8(G->GetName());
        EXPECT_EQ(G->ImageData()->DataClass(), u"TPngImage");
        EXPECT_EQ(StreamOfBytes(G->ImageData()->DataStream()), StreamOfBytes(W->ImageData()->DataStream()));
        TOwnedPtr<TGraphic> Decoded(G->ImageData()->ToGraphic());
        EXPECT_EQ(Decoded->Width(), 40);
        if (auto* T = DynamicCast<TXThnImageItem>(G)) {
            if (Thumbs)
                EXPECT_EQ(StreamOfBytes(T->Thn()->DataStream()), StreamOfBytes(W->Thn()->DataStream()));
            else
                EXPECT_EQ(T->Thn()->DataStream()->Size(), 0);
        }
    }
}

} // namespace

TEST(ImageFilers, ThumbnailContainerWrittenReadByBothGroupsAndUpdated)
{
    Testing::TTempFolder Folder;
    const String File = Folder.File("pictures.dat");
    TOwnedPtr<TXThnImageCollection> Written(Thumbnails(3));
    ASSERT_TRUE(FilerSaveToFile(File, TImagesFiler::StaticClass(), Written.get(), false, nullptr));

    // The thumbnail group: pictures and thumbnails.
    TOwnedPtr<TXThnImageCollection> Back(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
    ASSERT_TRUE(FilerLoadFromFile(File, TImagesFiler::StaticClass(), Back.get(), false, nullptr));
    ASSERT_EQ(Back->Count(), 3);
    ExpectSamePictures(static_cast<TCollection*>(Back.get()), Written.get(), true);
    EXPECT_EQ(Back->Items(0)->Thn()->DataClass(), u"TJPEGImage");

    // The plain image group: only the pictures.
    {
        TUseKind Plain(TKind::Plain);
        TOwnedPtr<TXThnImageCollection> Only(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
        ASSERT_TRUE(FilerLoadFromFile(File, TImagesFiler::StaticClass(), Only.get(), false, nullptr));
        ASSERT_EQ(Only->Count(), 3);
        ExpectSamePictures(static_cast<TCollection*>(Only.get()), Written.get(), false);
    }

    // Filtered: image items carry no filter text, so a filter naming
    // another text leaves them all out (-1 each) and the load succeeds.
    TImagesFiler::Filter = { u"holidays" };
    TOwnedPtr<TXThnImageCollection> None(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
    EXPECT_TRUE(FilerLoadFromFile(File, TImagesFiler::StaticClass(), None.get(), false, nullptr));
    EXPECT_EQ(None->Count(), 0);
    TImagesFiler::Filter = { u"holidays", u"" };
    ASSERT_TRUE(FilerLoadFromFile(File, TImagesFiler::StaticClass(), None.get(), false, nullptr));
    EXPECT_EQ(None->Count(), 3);
    TImagesFiler::Filter.clear();

    // An update appends a second set: a reader sees the items of both.
    TOwnedPtr<TXThnImageCollection> More(Thumbnails(2, 3));
    TOwnedPtr<TImagesFiler> F(New<TImagesFiler>());
    F->DefineGroups(More.get(), 0, {});
    ASSERT_TRUE(F->UpdateFile(File, nullptr, false));
    TOwnedPtr<TXThnImageCollection> All(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
    ASSERT_TRUE(FilerLoadFromFile(File, TImagesFiler::StaticClass(), All.get(), false, nullptr));
    ASSERT_EQ(All->Count(), 5);
    EXPECT_EQ(All->Items(4)->GetName(), u"picture 4");
    More->Merge(Written.get(), mmAppend);
    ExpectSamePictures(static_cast<TCollection*>(All.get()), More.get(), true);
}

TEST(ImageFilers, FailedSavesAndUpdatesKeepTheOldFile)
{
    Testing::TTempFolder Folder;
    const String File = Folder.File("pictures.dat");
    TOwnedPtr<TXThnImageCollection> Written(Thumbnails(2));
    ASSERT_TRUE(FilerSaveToFile(File, TImagesFiler::StaticClass(), Written.get(), false, nullptr));
    const Bytes Before = Testing::ReadFileBytes(Folder / "pictures.dat");

    TUseKind Fail(TKind::FailSecond);
    TOwnedPtr<TXThnImageCollection> Other(Thumbnails(3, 5));
    EXPECT_FALSE(FilerSaveToFile(File, TImagesFiler::StaticClass(), Other.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
    EXPECT_EQ(Testing::ReadFileBytes(Folder / "pictures.dat"), Before);

    for (bool Append : { false, true }) {
        TOwnedPtr<TImagesFiler> F(New<TImagesFiler>());
        F->DefineGroups(Other.get(), 0, {});
        EXPECT_FALSE(Append ? F->UpdateFileAlt(File, nullptr, false) : F->UpdateFile(File, nullptr, false));
        EXPECT_EQ(Testing::ReadFileBytes(Folder / "pictures.dat"), Before) << "append " << Append;
    }
    TUseKind Ok(TKind::Thn);
    TOwnedPtr<TXThnImageCollection> Back(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
    ASSERT_TRUE(FilerLoadFromFile(File, TImagesFiler::StaticClass(), Back.get(), false, nullptr));
    EXPECT_EQ(Back->Count(), 2);
}

TEST(ImageFilers, DamagedContainersLoadNoDamagedPicture)
{
    TOwnedPtr<TXThnImageCollection> Written(Thumbnails(3));
    TOwnedPtr<TMemoryStream> Good(MakeOwned<TMemoryStream>());
    ASSERT_TRUE(FilerSaveToStream(Good.get(), TImagesFiler::StaticClass(), Written.get(), false, nullptr));
    const Bytes Clean = StreamOfBytes(Good.get());

    auto Load = [](const Bytes& B, TXThnImageCollection* Into) {
        TOwnedPtr<TBytesStream> S(New<TBytesStream>(std::vector<Byte>(B)));
        return FilerLoadFromStream(S.get(), TImagesFiler::StaticClass(), Into, false, nullptr);
    };

    // A changed byte in the middle of the second picture's bytes: its CRC
    // fails, the item goes, the others load whole.
    {
        Bytes B = Clean;
        // Resources are stored deflated, so the middle of the container
        // falls inside the second item's bytes.
        B[B.size() / 2] ^= 0x55;
        TOwnedPtr<TXThnImageCollection> Back(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
        Load(B, Back.get());
        EXPECT_LT(Back->Count(), 3);
        ExpectSamePictures(static_cast<TCollection*>(Back.get()), Written.get(), true);
    }
    // Cut short anywhere: whatever loads is whole.
    for (size_t Cut : { Clean.size() - 1, Clean.size() * 3 / 4, Clean.size() / 2, Clean.size() / 4, size_t(200) }) {
        TOwnedPtr<TXThnImageCollection> Back(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
        Load(Bytes(Clean.begin(), Clean.begin() + long(Cut)), Back.get());
        EXPECT_LT(Back->Count(), 3) << Cut;
        ExpectSamePictures(static_cast<TCollection*>(Back.get()), Written.get(), true);
    }
    // An index entry past the header's resources fails its item; it is
    // never cut to 16 bits (which would read the picture's own resource).
    {
        TUseKind Bad(TKind::BadIdx);
        TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
        ASSERT_TRUE(FilerSaveToStream(S.get(), TImagesFiler::StaticClass(), Written.get(), false, nullptr));
        TOwnedPtr<TXThnImageCollection> Back(New<TXThnImageCollection>(static_cast<TPersistent*>(nullptr)));
        S->SetPosition(0);
        EXPECT_TRUE(FilerLoadFromStream(S.get(), TImagesFiler::StaticClass(), Back.get(), false, nullptr));
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        EXPECT_EQ(Back->Count(), 0);
    }
}
