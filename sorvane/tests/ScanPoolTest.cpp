// The scan with its thumbnails on a pool of threads and its volume read
// ahead must announce exactly what the scan in turn announces: the same
// files in the same order, with the same ranges, extensions, statuses,
// sizes and thumbnail bytes. The image mixes good JPEGs with and without
// EXIF thumbnails, damaged JPEGs whose check fails (the pooled scan has gone
// on past them and must come back), cut JPEGs, TIFFs with and without a
// picture, AVI and MP4, read through the real buffered file stream with
// windows that signatures and end codes cross.
#include "CarvingSupport.h"
#include "rtl/testing/Testing.h"
#include "win/FakeDevice.h"
#include "core/XCore.Errors.h"
#include <cerrno>
#include "sorvane/XCore.Streams.Buffered.h"
#include "sorvane/XDR.Work.S.Pool.h"
#include <cstdio>

using namespace CarvingTest;

namespace {

struct TAnnounced {
    std::vector<TXBlock> Blocks;
    String Extension;
    TXDRFileStatusSet Status = 0;
    TXSize ImageSize;
    Testing::Bytes Thumbnail;
    friend bool operator==(const TAnnounced&, const TAnnounced&) = default;
};

std::ostream& operator<<(std::ostream& Out, const TAnnounced& A)
{
    Out << StringToUTF8(A.Extension) << " at " << (A.Blocks.empty() ? -1 : A.Blocks[0].Start) << " in "
        << A.Blocks.size() << " blocks, status " << int(A.Status) << ", " << A.ImageSize.Width << "x"
        << A.ImageSize.Height << ", thumbnail " << A.Thumbnail.size() << " bytes";
    return Out;
}

// Records what the scan announces, and keeps it in a collection as the
// deep scan's handler does (the duplicate test reads it).
struct TRecorder : TObject {
    std::vector<TAnnounced> Seen;
    TXDRFileCollection* Files = nullptr;

    void On(IXNotification* N)
    {
        TXDRFileItem* Item = static_cast<TXDRFoundFileAspect*>(N->GetAspect())->Item();
        TAnnounced A;
        for (Integer I = 0; I < Item->Blocks()->Count(); ++I)
            A.Blocks.push_back(Item->Blocks()->Items(I));
        A.Extension = Item->Extension;
        A.Status = Item->Status;
        A.ImageSize = Item->ImageSize;
        if (TMemoryStream* Data = Item->Thumbnail()->DataStream())
            A.Thumbnail = Testing::StreamBytes(Data);
        Seen.push_back(std::move(A));
        if (Files)
            Files->Add()->Assign(Item);
    }
};

struct TScanRun {
    std::vector<TAnnounced> Seen;
    Integer Code = 0; // the error record after the scan
};

TScanRun ScanFile(const String& Card, Integer BufferSize, const TXScanThreads& Threads, TXDRFileCollection* Files)
{
    ClearXError();
    TOwnedPtr<TXBufFileStream> Volume(New<TXBufFileStream>(Card, Word(fmOpenRead | fmShareDenyNone), 0, BufferSize));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, Volume->Size());
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    TRecorder R;
    R.Files = Files;
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TRecorder::On>(&R));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    ScanBlocks(Search.get(), Volume.get(), Blocks.get(), Files, Threads);
    EXPECT_FALSE(Volume->ReadingAhead());
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TRecorder::On>(&R));
    TScanRun Run { std::move(R.Seen), GetXErrorCode() };
    ClearXError();
    return Run;
}

// A JPEG with an EXIF block that holds a thumbnail of its own (a whole
// JPEG, start and end codes included) before the main picture.
std::vector<Byte> ExifJpeg(Integer W, Integer H, Integer Seed)
{
    const auto Main = EncodeJpeg(W, H, Seed);
    const auto Thumb = EncodeJpeg(W / 8, H / 8, Seed + 1);
    TBytes Tiff;
    Tiff.Text("II").U16(42).U32(8);
    Tiff.U16(0).U32(14); // IFD0: no entries, IFD1 at 14
    const Cardinal ThumbAt = 14 + 2 + 2 * 12 + 4;
    Tiff.U16(2).Entry(513, 4, 1, ThumbAt).Entry(514, 4, 1, Cardinal(Thumb.size())).U32(0);
    Tiff.B.insert(Tiff.B.end(), Thumb.begin(), Thumb.end());
    const size_t Length = 2 + 6 + Tiff.B.size();
    std::vector<Byte> Out { 0xFF, 0xD8, 0xFF, 0xE1, Byte(Length >> 8), Byte(Length) };
    for (char C : std::string("Exif\0\0", 6))
        Out.push_back(Byte(C));
    Out.insert(Out.end(), Tiff.B.begin(), Tiff.B.end());
    Out.insert(Out.end(), Main.begin() + 2, Main.end());
    return Out;
}

// A JPEG start whose segments the carver walks to a scan start, but with
// no frame: its check fails. Its end is the next end code in the image.
std::vector<Byte> HeadlessJpeg()
{
    TBytes B;
    B.Little = false;
    B.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE0).U16(16).Text("JFIF").U8(0).U16(0x0101).U8(0).U16(1).U16(1).U16(0);
    B.U8(0xFF).U8(0xDA).U16(8).U16(0).U16(0).U16(0);
    for (Integer I = 0; I < 300; ++I)
        B.U8(Byte(0x11 * (I % 7)));
    return B.B;
}

// A JPEG made by ImageMagick with an EXIF thumbnail written by exiftool;
// empty when the tools are missing.
std::vector<Byte> ToolJpeg(const Testing::TTempFolder& Dir, const std::string& Name, Integer W, Integer H)
{
    if (!Testing::HaveTool("convert") || !Testing::HaveTool("exiftool"))
        return {};
    const std::string Size = std::to_string(W) + "x" + std::to_string(H);
    if (Testing::RunTool({ "convert", "-seed", "7", "-size", Size, "plasma:fractal", "-quality", "92", Name },
            Dir.Path())
                .ExitCode != 0 ||
        Testing::RunTool({ "convert", Name, "-thumbnail", "160x120", "thumb-" + Name }, Dir.Path()).ExitCode != 0 ||
        Testing::RunTool({ "exiftool", "-q", "-overwrite_original", "-ThumbnailImage<=thumb-" + Name, Name },
            Dir.Path())
                .ExitCode != 0)
        return {};
    return Testing::ReadFileBytes(Dir / Name);
}

// Puts File at the first sector start after the image's end from which its
// first Length bytes cross a boundary of windows of Window bytes.
Int64 PutStraddling(TImage& Image, const std::vector<Byte>& File, Int64 Length, Int64 Window)
{
    Int64 S = Int64(Image.Bytes.size());
    while (S / Window == (S + Length - 1) / Window)
        S += 512;
    Image.Filler((S - Int64(Image.Bytes.size())) / 512);
    return Image.Put(File);
}

struct TMixedImage {
    TImage Image;
    Integer Good = 0; // files that must be announced whatever happens
};

TMixedImage MixedImage(const Testing::TTempFolder& Dir)
{
    TMixedImage M;
    TImage& I = M.Image;
    TBytes Avi;
    Avi.Text("RIFF").U32(7000 - 8).Text("AVI ").Pad(7000);
    TBytes Mp4;
    Mp4.Little = false;
    Mp4.U32(24).Text("ftypisom").U32(0x200).Text("mp41isom").U32(5000).Text("mdat").Pad(24 + 5000);
    const auto Preview = EncodeJpeg(320, 240, 3);
    const Cardinal PreviewAt = 512;
    const auto TiffWithPicture = TiffOf(8, PreviewAt + Preview.size() + 100,
        { { 8, Ifd({ { 271, 2, 6, 200 }, { 273, 4, 1, PreviewAt }, { 279, 4, 1, Cardinal(Preview.size()) } }) },
            { 200, Chars("Canon") }, { PreviewAt, Preview } });
    const auto TiffWithout = TiffOf(8, 3000, { { 8, Ifd({ { 273, 4, 1, 100 }, { 279, 4, 1, 2900 } }) } });
    auto Cut = EncodeJpeg(400, 300, 4);
    Cut.resize(Cut.size() * 3 / 5);

    I.Filler(7);
    I.Put(EncodeJpeg(300, 200, 1));
    I.Filler(2);
    I.Put(ExifJpeg(640, 480, 2));
    I.Filler(1);
    // A damaged JPEG whose end is the end of the photo after it: the scan
    // goes on past both, then back to the photo's own sector.
    I.Put(HeadlessJpeg());
    I.Put(EncodeJpeg(256, 256, 5));
    I.Filler(3);
    PutStraddling(I, TiffWithPicture, 4, 1001);
    I.Filler(1);
    PutStraddling(I, Avi.B, 4, 1001);
    I.Put(Cut);
    I.Filler(40);
    PutStraddling(I, Mp4.B, 8, 1001);
    I.Put(TiffWithout);
    I.Filler(600); // a window boundary of 256 KiB on the way
    I.Put(EncodeJpeg(1700, 1300, 6)); // thumbnails from an eighth
    I.Put(GreyJpeg(12000, 1500)); // decoded whole and large: one at a time
    I.Put(HeadlessJpeg());
    for (Integer K = 0; K < 6; ++K) { // all behind a check that fails
        I.Put(K % 2 ? ExifJpeg(200 + 8 * K, 160, 10 + K) : EncodeJpeg(180, 120 + 8 * K, 10 + K));
        I.Filler(1);
    }
    M.Good = 13;
    for (const char* Name : { "a.jpg", "b.jpg" }) {
        const auto Made = ToolJpeg(Dir, Name, 1200, 900);
        if (Made.empty())
            continue;
        I.Put(Made);
        I.Filler(2);
        ++M.Good;
    }
    I.Put(HeadlessJpeg());
    I.Filler(5);
    I.Put(EncodeJpeg(120, 90, 20)); // its end closes the last damaged one
    I.Filler(700);
    return M;
}

TEST(ScanPool, PooledScanAnnouncesExactlyWhatTheScanInTurnAnnounces)
{
    Testing::TTempFolder Dir("scan-pool");
    const TMixedImage M = MixedImage(Dir);
    const String Card = Dir.File("card.img");
    Testing::WriteFileBytes(Dir / "card.img", M.Image.Bytes);

    const TXScanThreads InTurn { 0, TXScanReadAhead::Off };
    for (const Integer Window : { 1001, 262144 }) {
        SCOPED_TRACE(Window);
        TOwnedPtr<TXDRFileCollection> RefFiles(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
        const TScanRun Reference = ScanFile(Card, Window, InTurn, RefFiles.get());
        // The comparison means something: files of every kind, JPEGs
        // with thumbnails, files whose picture failed, and the photos
        // behind the damaged JPEGs.
        ASSERT_GE(Integer(Reference.Seen.size()), M.Good);
        Integer Thumbs = 0, Failed = 0;
        for (const TAnnounced& A : Reference.Seen) {
            Thumbs += A.Thumbnail.empty() ? 0 : 1;
            Failed += HasStatus(A.Status, drThnError) ? 1 : 0;
        }
        EXPECT_GE(Thumbs, M.Good - 3);
        EXPECT_GE(Failed, 1);

        for (const TXScanThreads Pooled :
            { TXScanThreads { 1, TXScanReadAhead::Always }, TXScanThreads { 2, TXScanReadAhead::Off },
                TXScanThreads { 7, TXScanReadAhead::Always }, TXScanThreads {} }) {
            SCOPED_TRACE(
                testing::Message() << Pooled.Pictures << " picture threads, read-ahead " << int(Pooled.ReadAhead));
            TOwnedPtr<TXDRFileCollection> Files(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
            const TScanRun Run = ScanFile(Card, Window, Pooled, Files.get());
            EXPECT_EQ(Run.Seen, Reference.Seen);
            EXPECT_EQ(Run.Code, Reference.Code);
            // A second scan with what the first kept finds only duplicates.
            EXPECT_TRUE(ScanFile(Card, Window, Pooled, Files.get()).Seen.empty());
        }

        // With every other file already known, the known ones are
        // duplicates (a known JPEG is still skipped whole) and the rest
        // come as before.
        auto Known = [&] {
            TOwnedPtr<TXDRFileCollection> F(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
            for (Integer K = 0; K < RefFiles->Count(); K += 2)
                F->Add()->Assign(RefFiles->Items(K));
            return F;
        };
        auto KnownInTurn = Known();
        const TScanRun PartialRef = ScanFile(Card, Window, InTurn, KnownInTurn.get());
        EXPECT_EQ(PartialRef.Seen.size(), Reference.Seen.size() / 2);
        auto KnownPooled = Known();
        EXPECT_EQ(ScanFile(Card, Window, TXScanThreads { 3, TXScanReadAhead::Always }, KnownPooled.get()).Seen,
            PartialRef.Seen);
    }
}

TEST(ScanPool, PicturesThatDecodeLargeAreKnownFromTheirFrameHeader)
{
    TBytes Frame; // segments as a camera writes them, with fill bytes
    Frame.Little = false;
    Frame.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE1).U16(6).U32(0).U8(0xFF).U8(0xFF).U8(0xC0).U16(11).U8(8).U16(3000).U16(
        4000);
    TBytes Progressive;
    Progressive.Little = false;
    Progressive.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xC2).U16(11).U8(8).U16(1500).U16(12000);
    const struct {
        const char* Name;
        std::vector<Byte> Bytes;
        Int64 Pixels;
    } Cases[] = {
        { "an eighth of a camera photo", Frame.B, 500 * 375 },
        { "a wide one decoded whole", Progressive.B, Int64(12000) * 1500 },
        { "our own small JPEG", EncodeJpeg(300, 200), 300 * 200 },
        { "no JPEG", { 0x00, 0x4D, 0x52, 0x4D, 0, 0 }, 0 },
        { "cut before its frame", std::vector<Byte>(Frame.B.begin(), Frame.B.begin() + 12), 0 },
        { "a scan before any frame", HeadlessJpeg(), 0 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(TXDRPicturePool::ThumbnailPixels(C.Bytes), C.Pixels) << C.Name;
    EXPECT_GE(TXDRPicturePool::ThumbnailPixels(GreyJpeg(12000, 1500)), TXDRPicturePool::LargeDecode);
}

TEST(ScanPool, BadSectorsGiveTheSameFilesAndCodes)
{
    // A card whose sectors fail inside a photo and in the filler: whether
    // a failed read raises or reads as zeros, the pooled scan announces
    // what the scan in turn announces and leaves the same code behind.
    TImage Image;
    Image.Filler(5);
    Image.Put(EncodeJpeg(300, 200, 1));
    Image.Filler(3);
    const Int64 Hurt = Image.Put(EncodeJpeg(320, 240, 2));
    Image.Filler(9);
    Image.Put(EncodeJpeg(200, 150, 3));
    Image.Filler(4);
    const Int64 LastGood = Image.Put(ExifJpeg(240, 180, 4));
    Image.Filler(20);
    for (const Byte Raise : { Byte(0), Byte(1) }) {
        SCOPED_TRACE(int(Raise));
        auto Scan = [&](const TXScanThreads& Threads) {
            ClearXError();
            auto* Device = New<TFakeDevice>(RawBytes(Image.Bytes.begin(), Image.Bytes.end()));
            Device->FailSector(Hurt / 512 + 3, EIO);
            Device->FailSector(LastGood / 512 + 12, EIO);
            TOwnedPtr<TXBufDiskStream> Volume(New<TXBufDiskStream>(Device, u"card", 4096, xofRead));
            Volume->RaiseReadErrors = Raise;
            TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
            Blocks->Add(0, Volume->Size());
            TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
            TRecorder R;
            Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TRecorder::On>(&R));
            TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
            Search->Worker = IPtr<IXWorker>(Worker.get());
            ScanBlocks(Search.get(), Volume.get(), Blocks.get(), nullptr, Threads);
            Search->Worker = nullptr;
            Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TRecorder::On>(&R));
            TScanRun Run { std::move(R.Seen), GetXErrorCode() };
            ClearXError();
            return Run;
        };
        const TScanRun Reference = Scan(TXScanThreads { 0, TXScanReadAhead::Off });
        EXPECT_GE(Reference.Seen.size(), 2u);
        EXPECT_EQ(Reference.Code, 44);
        for (const TXScanThreads Pooled :
            { TXScanThreads { 2, TXScanReadAhead::Always }, TXScanThreads { 3, TXScanReadAhead::WhenSlow } }) {
            const TScanRun Run = Scan(Pooled);
            EXPECT_EQ(Run.Seen, Reference.Seen);
            EXPECT_EQ(Run.Code, Reference.Code);
        }
    }
}

TEST(ScanPool, ATerminatedWorkerEndsThePooledScanAtOnce)
{
    Testing::TTempFolder Dir("scan-pool");
    TImage Image;
    for (Integer K = 0; K < 8; ++K) {
        Image.Filler(3);
        Image.Put(EncodeJpeg(200, 150, K));
    }
    Testing::WriteFileBytes(Dir / "card.img", Image.Bytes);
    TOwnedPtr<TXBufFileStream> Volume(
        New<TXBufFileStream>(Dir.File("card.img"), Word(fmOpenRead | fmShareDenyNone), 0, 4096));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, Volume->Size());
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    TRecorder R;
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TRecorder::On>(&R));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    // The handler of the first file cancels: nothing more is announced.
    struct TCancel : TObject {
        TXWorker* W;
        void On(IXNotification*) { W->Cancel(); }
    } Cancel;
    Cancel.W = Worker.get();
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TCancel::On>(&Cancel));
    ScanBlocks(Search.get(), Volume.get(), Blocks.get(), nullptr, TXScanThreads { 3, TXScanReadAhead::Always });
    EXPECT_EQ(R.Seen.size(), 1u);
    EXPECT_FALSE(Volume->ReadingAhead());
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TRecorder::On>(&R));
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TCancel::On>(&Cancel));
}

} // namespace
