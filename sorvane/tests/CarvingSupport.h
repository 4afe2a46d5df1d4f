// Helpers of the carving and scan tests: files made by real tools and by
// our own JPEG encoder, images of files hidden at sector starts inside
// random filler, a scan that collects what it announces, and builders of
// synthetic TIFF and QuickTime bytes.
#pragma once
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "rtl/Streams.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XDR.Work.P.h"
#include "sorvane/XDR.Work.S.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <array>
#include <cstdio>
#include <jpeglib.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace CarvingTest {

namespace fs = std::filesystem;

using Testing::HaveTool;
using Testing::ReadFileBytes;
using Testing::TTempFolder;
// Argument vectors of the tools that make one file, run in turn.
using TSteps = std::vector<std::vector<std::string>>;

// Runs the steps in Dir; the file they made, or an empty list when one failed.
inline std::vector<Byte> Make(const TTempFolder& Dir, const TSteps& Steps, const char* Output)
{
    for (const auto& Argv : Steps)
        if (Testing::RunTool(Argv, Dir.Path()).ExitCode != 0)
            return {};
    return ReadFileBytes(Dir / Output);
}

// Files at sector starts inside random filler whose sector starts begin
// with a byte no signature starts with.
struct TImage {
    std::vector<Byte> Bytes;
    std::mt19937 Random { 20261211 };

    void Filler(Int64 Sectors)
    {
        const size_t At = Bytes.size();
        Bytes.resize(At + size_t(Sectors) * 512);
        for (size_t I = At; I < Bytes.size(); ++I)
            Bytes[I] = Byte(Random());
        for (size_t I = At; I < Bytes.size(); I += 512)
            Bytes[I] = 0x01;
    }
    Int64 Put(const std::vector<Byte>& File)
    {
        const Int64 At = Int64(Bytes.size());
        Bytes.insert(Bytes.end(), File.begin(), File.end());
        Bytes.resize((Bytes.size() + 511) / 512 * 512, 0x01);
        return At;
    }
};

struct TScanResult : TObject {
    struct TFound {
        String Extension;
        TXBlocks* Blocks;
        TXSize ImageSize;
        TXSize Thumb;
        TXDRFileStatusSet Status;
    };
    TOwnedPtr<TXDRFileCollection> Files { New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)) };

    void Seen(IXNotification* N)
    {
        auto* Aspect = static_cast<TXDRFoundFileAspect*>(N->GetAspect());
        Files->Add()->Assign(Aspect->Item());
    }
    TXDRFileItem* At(Int64 Start, const String& Ext) const
    {
        for (Integer I = 0; I < Files->Count(); ++I) {
            TXDRFileItem* F = Files->Items(I);
            if (F->Blocks()->Count() > 0 && F->Blocks()->Items(0).Start == Start && F->Extension == Ext)
                return F;
        }
        return nullptr;
    }
};

// Counts the bytes read from it (registered in CarvingScanTest.cpp).
class TCountingStream : public TBytesStream {
    X_CLASS(TCountingStream, TBytesStream)
public:
    Int64 BytesRead = 0;
    Int64 Read(void* Buffer, Int64 Count) override
    {
        const Int64 Got = inherited::Read(Buffer, Count);
        BytesRead += std::max<Int64>(Got, 0);
        return Got;
    }
};

// Scans Blocks of Volume into R.
inline void ScanVolume(TStream* Volume, TXBlocks* Blocks, TScanResult& R)
{
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TScanResult::Seen>(&R));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    ScanBlocks(Search.get(), Volume, Blocks, R.Files.get());
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TScanResult::Seen>(&R));
}

// Scans the whole of Bytes into R.
inline void Scan(const std::vector<Byte>& Bytes, TScanResult& R)
{
    TOwnedPtr<TBytesStream> Volume(New<TBytesStream>(Bytes));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, Int64(Bytes.size()));
    ScanVolume(Volume.get(), Blocks.get(), R);
}

// A JPEG of our own encoder: W x H of colour bands that the seed shifts.
inline std::vector<Byte> EncodeJpeg(Integer W, Integer H, Integer Seed = 0)
{
    TOwnedPtr<TBitmap> Bmp(New<TBitmap>());
    Bmp->SetPixelFormat(pf24bit);
    Bmp->SetSize(W, H);
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* Row = Bmp->ScanLine(Y);
        for (Integer X = 0; X < W; ++X) {
            Row[3 * X] = Byte(X * 3 + Seed * 40);
            Row[3 * X + 1] = Byte(Y * 2 + Seed * 20);
            Row[3 * X + 2] = Byte((X + Y) * 5);
        }
    }
    TOwnedPtr<TJPEGImage> Jpeg(New<TJPEGImage>());
    Jpeg->Assign(Bmp.get());
    TOwnedPtr<TBytesStream> Out(New<TBytesStream>());
    Jpeg->SaveToStream(Out.get());
    return std::vector<Byte>(Out->Bytes().begin(), Out->Bytes().begin() + Out->Size());
}

// A grey JPEG written row by row, for sizes no bitmap may have.
inline std::vector<Byte> GreyJpeg(JDIMENSION W, JDIMENSION H)
{
    jpeg_compress_struct C;
    jpeg_error_mgr Err;
    C.err = jpeg_std_error(&Err);
    jpeg_create_compress(&C);
    unsigned char* Data = nullptr;
    unsigned long Size = 0;
    jpeg_mem_dest(&C, &Data, &Size);
    C.image_width = W;
    C.image_height = H;
    C.input_components = 1;
    C.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&C);
    jpeg_set_quality(&C, 50, TRUE);
    jpeg_start_compress(&C, TRUE);
    std::vector<Byte> Row(W);
    JSAMPROW Rows[1] = { Row.data() };
    while (C.next_scanline < H) {
        std::fill(Row.begin(), Row.end(), Byte(64 + C.next_scanline / 64 % 128));
        jpeg_write_scanlines(&C, Rows, 1);
    }
    jpeg_finish_compress(&C);
    std::vector<Byte> Out(Data, Data + Size);
    std::free(Data);
    jpeg_destroy_compress(&C);
    return Out;
}

inline std::vector<Byte> Carved(const std::vector<Byte>& Image, TXDRFileItem* F)
{
    std::vector<Byte> Out;
    for (Integer I = 0; I < F->Blocks()->Count(); ++I) {
        const TXBlock B = F->Blocks()->Items(I);
        Out.insert(Out.end(), Image.begin() + B.Start, Image.begin() + B.Start + B.Length);
    }
    return Out;
}

// Answers of a carver over the bytes as the whole stream, hit at 0.
inline Int64 Carve(TClass Class, const std::vector<Byte>& Bytes, String* Ext = nullptr)
{
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(Bytes));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Stream.get();
    TOwnedPtr<TXDRScanFormat> F(NewScanFormat(Class));
    const Int64 End = F->FindEnd(Search.get(), 0);
    if (Ext)
        *Ext = F->ExtensionText();
    return End;
}

struct TBytes {
    std::vector<Byte> B;
    bool Little = true;
    TBytes& U8(Byte V)
    {
        B.push_back(V);
        return *this;
    }
    TBytes& U16(Cardinal V) { return Little ? U8(Byte(V)).U8(Byte(V >> 8)) : U8(Byte(V >> 8)).U8(Byte(V)); }
    TBytes& U32(Cardinal V) { return Little ? U16(V & 0xFFFF).U16(V >> 16) : U16(V >> 16).U16(V & 0xFFFF); }
    TBytes& Text(const char* S)
    {
        while (*S)
            U8(Byte(*S++));
        return *this;
    }
    TBytes& Entry(Cardinal Tag, Cardinal Type, Cardinal Count, Cardinal Value)
    {
        U16(Tag).U16(Type).U32(Count);
        if (Type == 3 && Count == 1)
            return U16(Value).U16(0);
        return U32(Value);
    }
    TBytes& Pad(size_t Size)
    {
        B.resize(std::max(B.size(), Size));
        return *this;
    }
};

// A little-endian TIFF header with one IFD at 8 holding Entries, then the
// next-IFD offset Next, then padding to Size.
inline std::vector<Byte> Tiff(std::initializer_list<std::array<Cardinal, 4>> Entries, Cardinal Next, size_t Size,
    const char* Make = nullptr)
{
    TBytes T;
    T.Text("II").U16(42).U32(8).U16(Cardinal(Entries.size()));
    for (const auto& E : Entries)
        T.Entry(E[0], E[1], E[2], E[3]);
    T.U32(Next).Pad(Size);
    if (Make)
        std::copy(Make, Make + std::strlen(Make) + 1, T.B.begin() + 400);
    return T.B;
}

// The bytes of one IFD: its entries, then the next-IFD offset.
inline std::vector<Byte> Ifd(std::initializer_list<std::array<Cardinal, 4>> Entries, Cardinal Next = 0)
{
    TBytes T;
    T.U16(Cardinal(Entries.size()));
    for (const auto& E : Entries)
        T.Entry(E[0], E[1], E[2], E[3]);
    return T.U32(Next).B;
}

inline std::vector<Byte> Longs(std::initializer_list<Cardinal> Values)
{
    TBytes T;
    for (Cardinal V : Values)
        T.U32(V);
    return T.B;
}

inline std::vector<Byte> Chars(const char* Text)
{
    return std::vector<Byte>(Text, Text + std::strlen(Text) + 1);
}

struct TPiece {
    size_t At;
    std::vector<Byte> Bytes;
};

// A little-endian TIFF of Size bytes whose first IFD lies at FirstIfd, with
// the pieces (IFDs, arrays, texts) copied in at their offsets.
inline std::vector<Byte> TiffOf(Cardinal FirstIfd, size_t Size, std::initializer_list<TPiece> Pieces)
{
    TBytes T;
    T.Text("II").U16(42).U32(FirstIfd).Pad(Size);
    for (const TPiece& P : Pieces) {
        if (T.B.size() < P.At + P.Bytes.size())
            T.B.resize(P.At + P.Bytes.size());
        std::copy(P.Bytes.begin(), P.Bytes.end(), T.B.begin() + P.At);
    }
    return T.B;
}

} // namespace CarvingTest
