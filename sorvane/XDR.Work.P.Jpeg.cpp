// The JPEG carver: the segment walk to the scan start, the end-of-image
// search, and the picture.
#include "sorvane/XDR.Work.P.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XDR.Work.P.Reader.h"
#include <exception>

X_REGISTER_CLASS(TXDRScanFormatJPG)

// ---- JPEG ----

namespace {

// The segment at Hit + Offset: its type, and where the next one starts
// (-1 when the header is not accepted or cannot be read).
Byte ReadJpegSegment(const TXDRReader& R, Int64 Hit, Int64 Offset, Int64& Next)
{
    Next = -1;
    Byte B[4];
    if (!R.Read(B, 4, Hit + Offset))
        return 0;
    // A marker starts with FF, and FF 00 is a stuffed data byte, no marker:
    // a walk that lands anywhere else has left the segment structure.
    if (B[0] != 0xFF || B[1] == 0)
        return 0;
    Next = Offset + (Int64(B[2]) << 8 | B[3]) + 2;
    return B[1];
}

} // namespace

Int64 TXDRScanFormatJPG::FindScanStart(TXSearch* Search, Int64 Hit)
{
    TXDRReader R(Search);
    Byte Soi[2];
    if (!R.Read(Soi, 2, Hit) || Soi[0] != 0xFF || Soi[1] != 0xD8)
        return -1;
    Int64 Offset = 2;
    bool First = true;
    for (;;) {
        if (IsAppTerminated() || R.Cancelled())
            return -1;
        Int64 Next;
        const Byte Type = ReadJpegSegment(R, Hit, Offset, Next);
        if (Next < 0)
            return -1;
        if (First && (Type < 0xE0 || Type > 0xEF))
            return -1;
        First = false;
        if (Type == 0xDA)
            return Hit + Next;
        Offset = Next; // at least 2 bytes on: the walk ends at the stream's end
    }
}

Int64 TXDRScanFormatJPG::FindEnd(TXSearch* Search, Int64 Hit)
{
    try {
        const Int64 Start = FindScanStart(Search, Hit);
        if (Start < 0)
            return -1;
        const Int64 Eoi = Search->Find({ 0xFF, 0xD9 }, Start, Search->Stream->Size() - 1);
        return Eoi > Hit ? Eoi + 1 : -1;
    } catch (const std::exception&) {
        CheckXError();
        return -1;
    }
}

bool TXDRScanFormatJPG::Validate(TXSearch* Search, Int64 Hit)
{
    try {
        return FindScanStart(Search, Hit) >= 0;
    } catch (const std::exception&) {
        CheckXError();
        return false;
    }
}

bool TXDRScanFormatJPG::MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream,
    TXImageObject* Image)
{
    PictureSize.Clear();
    Image->Clear();
    try {
        if (!Stream || Stream->Size() == 0)
            return false;
        TXSize Decoded;
        if (!DecodePreview(TargetSize, Decoded, Stream, 0, Image))
            return false;
        PictureSize = Decoded;
        return true;
    } catch (const std::exception&) {
        CheckXError();
        Image->Clear();
        PictureSize.Clear();
        return false;
    }
}
