// The signature scan's checks of what it carved: JPEGs are checked by
// decoding whatever their size, a JPEG inside a JPEG is not reported again,
// raw files read only up to their picture's end, and the scan reads a card
// image through the real buffered file stream.
#include "CarvingSupport.h"
#include "sorvane/XCore.Streams.Buffered.h"

using namespace CarvingTest;

namespace CarvingTest {
X_REGISTER_CLASS(TCountingStream)
}


TEST(Carving, AJpegThatCannotBeCheckedIsDroppedAndTheScanGoesOn)
{
    if (Testing::SanitizedBuild)
        GTEST_SKIP() << "a 70 MiB scan: checked in the optimised build";
    // A JPEG start with no picture, 70 MiB before a real photo: its end is
    // the photo's end-of-image code. Its check must run whatever its size,
    // fail, and leave the scan to find the photo at its own sector.
    TBytes Fake;
    Fake.Little = false;
    Fake.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE0).U16(16).Text("JFIF").U8(0).U16(0x0101).U8(0).U16(1).U16(1).U16(0);
    Fake.U8(0xFF).U8(0xDA).U16(8).U16(0).U16(0).U16(0);
    const auto Photo = EncodeJpeg(200, 150);
    std::vector<Byte> Image(size_t(70) << 20, 0);
    std::copy(Fake.B.begin(), Fake.B.end(), Image.begin());
    const Int64 At = Int64(Image.size());
    Image.insert(Image.end(), Photo.begin(), Photo.end());
    Image.resize((Image.size() + 1023) / 512 * 512, 0x01);

    TScanResult R;
    Scan(Image, R);
    ASSERT_EQ(R.Files->Count(), 1);
    TXDRFileItem* F = R.At(At, u".jpg");
    ASSERT_NE(F, nullptr);
    EXPECT_EQ(Carved(Image, F), Photo);
    EXPECT_EQ(F->ImageSize, (TXSize { 200, 150 }));
}

TEST(Carving, PhotosBeyondThePixelCapAreCheckedAtAnEighth)
{
    // 10,050 x 10,000 is over the cap of 100 million pixels; its eighth is
    // far below it.
    const auto Huge = GreyJpeg(10050, 10000);
    TImage Image;
    Image.Filler(1);
    const Int64 At = Image.Put(Huge);
    Image.Filler(1);
    TScanResult R;
    Scan(Image.Bytes, R);
    TXDRFileItem* F = R.At(At, u".jpg");
    ASSERT_NE(F, nullptr);
    EXPECT_EQ(Carved(Image.Bytes, F), Huge);
    EXPECT_EQ(F->ImageSize, (TXSize { 10050, 10000 }));
    TOwnedPtr<TGraphic> Thumb(F->Thumbnail()->ToGraphic());
    ASSERT_TRUE(Thumb);
    EXPECT_EQ(Thumb->Width(), 72);
    EXPECT_LE(Thumb->Height(), 72);
}

TEST(Carving, AJpegInsideAJpegIsReportedOnceWithItsHost)
{
    // A comment segment after the host's first segment holds a whole JPEG
    // that starts at a sector boundary of the image.
    const auto Host = EncodeJpeg(320, 240, 1);
    const auto Inner = EncodeJpeg(64, 48, 2);
    ASSERT_EQ(Host[3], 0xE0);
    const size_t CommentAt = 4 + (size_t(Host[4]) << 8 | Host[5]);
    const size_t Padding = (512 - (CommentAt + 4) % 512) % 512;
    const size_t Length = 2 + Padding + Inner.size();
    ASSERT_LT(Length, 65536u);
    std::vector<Byte> Both(Host.begin(), Host.begin() + ptrdiff_t(CommentAt));
    Both.insert(Both.end(), { 0xFF, 0xFE, Byte(Length >> 8), Byte(Length) });
    Both.resize(Both.size() + Padding, ' ');
    ASSERT_EQ(Both.size() % 512, 0u);
    Both.insert(Both.end(), Inner.begin(), Inner.end());
    Both.insert(Both.end(), Host.begin() + ptrdiff_t(CommentAt), Host.end());

    TImage Image;
    Image.Filler(2);
    const Int64 At = Image.Put(Both);
    Image.Filler(2);
    TScanResult R;
    Scan(Image.Bytes, R);
    ASSERT_EQ(R.Files->Count(), 1);
    TXDRFileItem* F = R.At(At, u".jpg");
    ASSERT_NE(F, nullptr);
    EXPECT_EQ(Carved(Image.Bytes, F), Both);
    EXPECT_EQ(F->ImageSize, (TXSize { 320, 240 }));
}

TEST(Carving, ARawFileIsReadOnlyUpToItsPictureEnd)
{
    // A Canon raw: IFD0 holds the JPEG picture as its strip, IFD1 4 MiB of
    // sensor data after it.
    const auto Picture = EncodeJpeg(320, 240);
    const Cardinal PictureAt = 512;
    const Cardinal RawAt = Cardinal((PictureAt + Picture.size() + 511) / 512 * 512);
    const Cardinal RawSize = 4 << 20;
    auto Bytes = TiffOf(8, RawAt + RawSize,
        { { 8, Ifd({ { 271, 2, 6, 200 }, { 273, 4, 1, PictureAt }, { 279, 4, 1, Cardinal(Picture.size()) } }, 300) },
            { 200, Chars("Canon") }, { 300, Ifd({ { 273, 4, 1, RawAt }, { 279, 4, 1, RawSize } }) },
            { PictureAt, Picture } });
    TOwnedPtr<TCountingStream> Volume(New<TCountingStream>(Bytes));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Volume.get();
    TOwnedPtr<TXDRScanFormat> Format(NewScanFormat(TXDRScanFormatTIF::StaticClass()));
    const Int64 End = Format->FindEnd(Search.get(), 0);
    Search->Stream = nullptr;
    ASSERT_EQ(End, Int64(Bytes.size()) - 1);
    EXPECT_EQ(Format->ExtensionText(), u".cr2");
    auto* Raw = static_cast<TXDRScanFormatTIF*>(Format.get());
    EXPECT_EQ(Raw->PreviewOffset, PictureAt);
    EXPECT_EQ(Raw->PreviewLength, Int64(Picture.size()));

    Volume->BytesRead = 0;
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, End + 1);
    TOwnedPtr<TXImageObject> Image(New<TXImageObject>());
    TXSize Size;
    ASSERT_TRUE(Format->MakeThumbnail(Size, Image.get(), Blocks.get(), Volume.get()));
    EXPECT_FALSE(Image->IsEmpty());
    EXPECT_LE(Volume->BytesRead, Int64(PictureAt + Picture.size()));
}

namespace {

// The first sector start at or after From whose signature of Length bytes
// crosses a boundary of windows of Window bytes.
Int64 StraddlingSector(Int64 From, Int64 Length, Int64 Window)
{
    Int64 S = (From + 511) / 512 * 512;
    while (S / Window == (S + Length - 1) / Window)
        S += 512;
    return S;
}

struct TFound {
    Int64 Start, Size;
    String Extension;
    friend bool operator==(const TFound&, const TFound&) = default;
};

std::vector<TFound> FoundOf(const TScanResult& R)
{
    std::vector<TFound> Out;
    for (Integer I = 0; I < R.Files->Count(); ++I) {
        TXDRFileItem* F = R.Files->Items(I);
        Out.push_back({ F->Blocks()->Items(0).Start, F->Size(), F->Extension });
    }
    return Out;
}

} // namespace

TEST(Carving, ScanThroughTheBufferedFileStream)
{
    // A card image file read through windows of 1001 bytes, so that every
    // signature crosses from one window into the next, and of 4096 bytes
    // (whole sectors, as a device is read); the scan must find what it
    // finds in memory.
    constexpr Integer Window = 1001;
    TBytes Avi;
    Avi.Text("RIFF").U32(5000 - 8).Text("AVI ").Pad(5000);
    TBytes Mp4;
    Mp4.Little = false;
    Mp4.U32(24).Text("ftypisom").U32(0x200).Text("mp41isom").U32(3000).Text("mdat").Pad(24 + 3000);
    const struct {
        std::vector<Byte> Bytes;
        Int64 SignatureLength;
        const char16_t* Extension;
    } Files[] = {
        { EncodeJpeg(300, 200), 2, u".jpg" },
        { TiffOf(8, 3000, { { 8, Ifd({ { 273, 4, 1, 100 }, { 279, 4, 1, 2900 } }) } }), 4, u".tif" },
        { Avi.B, 4, u".avi" },
        { Mp4.B, 8, u".mp4" },
    };
    TImage Image;
    Image.Filler(3);
    std::vector<Int64> Starts;
    for (const auto& F : Files) {
        const Int64 At = StraddlingSector(Int64(Image.Bytes.size()) + 1024, F.SignatureLength, Window);
        Image.Filler((At - Int64(Image.Bytes.size())) / 512);
        Starts.push_back(Image.Put(F.Bytes));
    }
    Image.Filler(5);

    TScanResult InMemory;
    Scan(Image.Bytes, InMemory);
    ASSERT_EQ(InMemory.Files->Count(), Integer(std::size(Files)));
    for (size_t K = 0; K < std::size(Files); ++K) {
        TXDRFileItem* F = InMemory.At(Starts[K], Files[K].Extension);
        ASSERT_NE(F, nullptr) << StringToUTF8(Files[K].Extension);
        EXPECT_EQ(Carved(Image.Bytes, F), Files[K].Bytes) << StringToUTF8(Files[K].Extension);
    }

    TTempFolder Dir;
    const fs::path Card = Dir / "card.img";
    std::ofstream(Card, std::ios::binary)
        .write(reinterpret_cast<const char*>(Image.Bytes.data()), std::streamsize(Image.Bytes.size()));
    for (const Integer BufferSize : { Window, 4096 }) {
        SCOPED_TRACE(BufferSize);
        TOwnedPtr<TXBufFileStream> Volume(
            New<TXBufFileStream>(S(Card.string()), Word(fmOpenRead | fmShareDenyNone), 0, BufferSize));
        TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
        Blocks->Add(0, Volume->Size());
        TScanResult FromFile;
        ScanVolume(Volume.get(), Blocks.get(), FromFile);
        EXPECT_EQ(FoundOf(FromFile), FoundOf(InMemory));
    }
}
