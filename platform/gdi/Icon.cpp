#include "gdi/Icon.h"
#include "gdi/PngImage.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

X_REGISTER_CLASS(TIcon)

namespace {

Cardinal U16(const Byte* P)
{
    return Cardinal(P[0] | (P[1] << 8));
}
Cardinal U32(const Byte* P)
{
    return Cardinal(P[0] | (P[1] << 8) | (P[2] << 16)) | (Cardinal(P[3]) << 24);
}
Integer I32(const Byte* P)
{
    return Integer(U32(P));
}

constexpr Byte PngSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };

// The size in the PNG's header (IHDR, right behind the signature) is the
// entry's: an entry of at most 256 x 256 never decodes a larger picture.
bool PngHeaderFitsEntry(std::span<const Byte> Bytes, const TIconEntry& Entry)
{
    return Bytes.size() >= 24 && std::memcmp(Bytes.data() + 12, "IHDR", 4) == 0 &&
        PngUInt32(Bytes.data() + 16) == Cardinal(Entry.Width) &&
        PngUInt32(Bytes.data() + 20) == Cardinal(Entry.Height);
}

bool DecodePng(std::span<const Byte> Bytes, const TIconEntry& Entry, TIconImage& Image)
{
    if (!PngHeaderFitsEntry(Bytes, Entry))
        return false;
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    S->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
    S->SetPosition(0);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    try {
        Png->LoadFromStream(S.get());
    } catch (const EInvalidGraphic&) {
        return false;
    }
    if (Png->Width() != Entry.Width || Png->Height() != Entry.Height)
        return false;
    Image.Width = Png->Width();
    Image.Height = Png->Height();
    Image.Pixels.assign(size_t(Image.Width) * Image.Height * 4, 0);
    Image.Mask.assign(size_t(Image.Width) * Image.Height, 0);
    Image.HasAlpha = true;
    for (Integer Y = 0; Y < Image.Height; ++Y) {
        const Byte* Bgr = Png->Scanline(Y);
        const Byte* A = Png->AlphaScanline(Y);
        Byte* D = &Image.Pixels[size_t(Y) * Image.Width * 4];
        for (Integer X = 0; X < Image.Width; ++X, D += 4) {
            D[0] = Bgr[3 * X];
            D[1] = Bgr[3 * X + 1];
            D[2] = Bgr[3 * X + 2];
            D[3] = A ? A[X] : 255;
        }
    }
    return true;
}

bool DecodeDib(std::span<const Byte> Bytes, const TIconEntry& Entry, TIconImage& Image)
{
    if (Bytes.size() < 40)
        return false;
    const Byte* H = Bytes.data();
    const Cardinal HeaderSize = U32(H);
    const Integer W = I32(H + 4), DoubleH = I32(H + 8);
    const Cardinal Planes = U16(H + 12), Bpp = U16(H + 14), Compression = U32(H + 16);
    Cardinal ClrUsed = U32(H + 32);
    // The header must describe the entry: its width, and twice its height
    // (colours and mask).
    if (HeaderSize < 40 || HeaderSize > Bytes.size() || W != Entry.Width || DoubleH != 2 * Int64(Entry.Height) ||
        Planes != 1 || Compression != 0)
        return false;
    if (Bpp != 1 && Bpp != 4 && Bpp != 8 && Bpp != 16 && Bpp != 24 && Bpp != 32)
        return false;
    const Integer Ht = Entry.Height;
    CheckGraphicSize(W, Ht);
    size_t Pos = HeaderSize;
    std::vector<std::array<Byte, 3>> Palette;
    if (Bpp <= 8) {
        const Cardinal Max = 1u << Bpp;
        if (ClrUsed == 0 || ClrUsed > Max)
            ClrUsed = Max;
        if (Bytes.size() - Pos < size_t(ClrUsed) * 4)
            return false;
        for (Cardinal I = 0; I < ClrUsed; ++I, Pos += 4)
            Palette.push_back({ H[Pos], H[Pos + 1], H[Pos + 2] });
    }
    const size_t Stride = ((size_t(W) * Bpp + 31) / 32) * 4;
    const size_t MaskStride = ((size_t(W) + 31) / 32) * 4;
    if (Bytes.size() - Pos < Stride * Ht)
        return false;
    const Byte* Xor = H + Pos;
    Pos += Stride * Ht;
    // A 32-bit image may come without its mask; any other needs it.
    const bool HaveMask = Bytes.size() - Pos >= MaskStride * Ht;
    if (!HaveMask && Bpp != 32)
        return false;
    const Byte* And = HaveMask ? H + Pos : nullptr;

    Image.Width = W;
    Image.Height = Ht;
    Image.Pixels.assign(size_t(W) * Ht * 4, 0);
    Image.Mask.assign(size_t(W) * Ht, 0);
    bool AnyAlpha = false;
    for (Integer Y = 0; Y < Ht; ++Y) {
        // Rows are stored bottom-up.
        const Byte* Row = Xor + Stride * size_t(Ht - 1 - Y);
        const Byte* MaskRow = And ? And + MaskStride * size_t(Ht - 1 - Y) : nullptr;
        Byte* D = &Image.Pixels[size_t(Y) * W * 4];
        for (Integer X = 0; X < W; ++X, D += 4) {
            switch (Bpp) {
            case 1:
            case 4:
            case 8: {
                const size_t Bit = size_t(X) * Bpp;
                const unsigned Index = (Row[Bit / 8] >> (8 - Bpp - Bit % 8)) & ((1u << Bpp) - 1);
                if (Index < Palette.size())
                    std::memcpy(D, Palette[Index].data(), 3);
                break;
            }
            case 16: {
                const unsigned V = U16(Row + 2 * X);
                D[0] = Byte(((V & 0x1F) * 255 + 15) / 31);
                D[1] = Byte((((V >> 5) & 0x1F) * 255 + 15) / 31);
                D[2] = Byte((((V >> 10) & 0x1F) * 255 + 15) / 31);
                break;
            }
            case 24: std::memcpy(D, Row + 3 * X, 3); break;
            default:
                std::memcpy(D, Row + 4 * X, 4);
                AnyAlpha |= D[3] != 0;
                break;
            }
            if (MaskRow)
                Image.Mask[size_t(Y) * W + X] = (MaskRow[X / 8] >> (7 - X % 8)) & 1;
        }
    }
    Image.HasAlpha = AnyAlpha;
    if (!AnyAlpha)
        for (size_t I = 0; I < Image.Mask.size(); ++I)
            Image.Pixels[4 * I + 3] = 0;
    return true;
}

// --- handles ----------------------------------------------------------------

struct TIconData {
    TOwnedPtr<TBitmap> Color; // 32-bit
    TOwnedPtr<TBitmap> Mask; // 24-bit: black opaque, white transparent
    bool HasAlpha = false;
};

struct TIconTable {
    std::mutex Lock;
    std::map<uintptr_t, std::shared_ptr<TIconData>> Icons;
    // Apart from the cursor shapes of the window layer.
    uintptr_t Next = uintptr_t(1) << 20;
};

TIconTable& IconTable()
{
    static TIconTable T;
    return T;
}

std::shared_ptr<TIconData> Find(HICON Icon)
{
    TIconTable& T = IconTable();
    std::lock_guard<std::mutex> Guard(T.Lock);
    auto It = T.Icons.find(reinterpret_cast<uintptr_t>(Icon));
    return It == T.Icons.end() ? nullptr : It->second;
}

} // namespace

bool ReadIconFile(std::span<const Byte> Data, TIconFile& File)
{
    File = {};
    if (Data.size() < 6 || U16(Data.data()) != 0 || (U16(Data.data() + 2) != 1 && U16(Data.data() + 2) != 2))
        return false;
    const Cardinal Count = U16(Data.data() + 4);
    if (Count == 0 || Data.size() - 6 < size_t(Count) * 16)
        return false;
    for (Cardinal I = 0; I < Count; ++I) {
        const Byte* E = Data.data() + 6 + 16 * I;
        TIconEntry Entry;
        Entry.Width = E[0] ? E[0] : 256;
        Entry.Height = E[1] ? E[1] : 256;
        Entry.ColorCount = U16(E + 2);
        Entry.BitCount = Word(U16(E + 6));
        Entry.Size = U32(E + 8);
        Entry.Offset = U32(E + 12);
        if (Entry.Size == 0 || Entry.Offset > Data.size() || Entry.Size > Data.size() - Entry.Offset)
            return false;
        File.Entries.push_back(Entry);
    }
    File.Data = Data;
    return true;
}

size_t SelectIconEntry(const TIconFile& File, Integer Width, Integer Height, Integer BitsPerPixel)
{
    if (Width == 0 && Height == 0)
        Width = Height = SystemIconSize;
    const Int64 Capacity = BitsPerPixel <= 8 ? (Int64(1) << std::max(BitsPerPixel, 0))
        : BitsPerPixel <= 16                 ? 65536
                                             : INT32_MAX;
    auto Colors = [](const TIconEntry& E) -> Int64 {
        if (E.ColorCount)
            return E.ColorCount;
        return E.BitCount == 32 ? INT32_MAX : 65536;
    };
    // Not farther from the request than the best so far, and when larger
    // than asked, not larger than the best.
    auto NoWorse = [](Int64 Size, Int64 Best, Int64 Want) {
        return std::llabs(Size - Want) <= std::llabs(Best - Want) && (Size <= Want || Size <= Best);
    };
    size_t Best = 0;
    for (size_t I = 1; I < File.Entries.size(); ++I) {
        const TIconEntry& E = File.Entries[I];
        const TIconEntry& B = File.Entries[Best];
        if (Colors(E) <= Capacity && Colors(E) >= Colors(B) && NoWorse(E.Width, B.Width, Width) &&
            NoWorse(E.Height, B.Height, Height))
            Best = I;
    }
    return Best;
}

bool ReadIconImage(const TIconFile& File, size_t Entry, TIconImage& Image)
{
    Image = {};
    if (Entry >= File.Entries.size())
        return false;
    const TIconEntry& E = File.Entries[Entry];
    const std::span<const Byte> Bytes = File.Data.subspan(E.Offset, E.Size);
    const bool Ok = Bytes.size() >= 8 && std::memcmp(Bytes.data(), PngSignature, 8) == 0 ? DecodePng(Bytes, E, Image)
                                                                                         : DecodeDib(Bytes, E, Image);
    if (!Ok)
        Image = {};
    return Ok;
}

HICON CreateIconIndirect(const ICONINFO* Info)
{
    if (!Info || !Info->hbmColor || !Info->hbmMask || Info->hbmColor->Empty() ||
        Info->hbmColor->Width() != Info->hbmMask->Width() || Info->hbmColor->Height() != Info->hbmMask->Height())
        return nullptr;
    auto Data = std::make_shared<TIconData>();
    Data->Color = MakeOwned<TBitmap>();
    Data->Color->Assign(Info->hbmColor);
    Data->Color->SetPixelFormat(pf32bit);
    Data->Mask = MakeOwned<TBitmap>();
    Data->Mask->Assign(Info->hbmMask);
    Data->Mask->SetPixelFormat(pf24bit);
    if (Info->hbmColor->PixelFormat() == pf32bit)
        for (Integer Y = 0; Y < Data->Color->Height() && !Data->HasAlpha; ++Y) {
            const Byte* P = Data->Color->ScanLine(Y);
            for (Integer X = 0; X < Data->Color->Width(); ++X)
                if (P[4 * X + 3]) {
                    Data->HasAlpha = true;
                    break;
                }
        }
    TIconTable& T = IconTable();
    std::lock_guard<std::mutex> Guard(T.Lock);
    const uintptr_t Id = T.Next++;
    T.Icons.emplace(Id, std::move(Data));
    return reinterpret_cast<HICON>(Id);
}

bool DestroyIcon(HICON Icon)
{
    TIconTable& T = IconTable();
    std::lock_guard<std::mutex> Guard(T.Lock);
    return T.Icons.erase(reinterpret_cast<uintptr_t>(Icon)) == 1;
}

bool GetIconSize(HICON Icon, Integer& Width, Integer& Height)
{
    const std::shared_ptr<TIconData> Data = Find(Icon);
    if (!Data)
        return false;
    Width = Data->Color->Width();
    Height = Data->Color->Height();
    return true;
}

bool DrawIconEx(TCanvas* Canvas, Integer X, Integer Y, HICON Icon, Integer Width, Integer Height, Cardinal StepIfAniCur,
    void* FlickerFreeBrush, Cardinal Flags)
{
    const std::shared_ptr<TIconData> Data = Find(Icon);
    if (!Data || !Canvas || (Flags & DI_NORMAL) == 0)
        return false;
    TBitmap* Dest = Canvas->Bitmap();
    const Integer SW = Data->Color->Width(), SH = Data->Color->Height();
    if (Width == 0)
        Width = SW;
    if (Height == 0)
        Height = SH;
    if (!Dest || Width <= 0 || Height <= 0)
        return true;
    const Int64 Right = Int64(X) + Width, Bottom = Int64(Y) + Height;
    const Integer Bpp = Dest->BytesPerPixel();
    const TRect Area = Canvas->BitmapRect();
    const Integer Top = Integer(std::max<Int64>(Y, Area.Top)), End = Integer(std::min<Int64>(Bottom, Area.Bottom));
    const Integer Left = Integer(std::max<Int64>(X, INT32_MIN)), RightEnd = Integer(std::min<Int64>(Right, INT32_MAX));
    for (Integer DY = Top; DY < End; ++DY) {
        // Each target pixel takes the icon pixel under its centre.
        const Integer SY = Integer(((2 * (Int64(DY) - Y) + 1) * SH) / (2 * Int64(Height)));
        const Byte* C = Data->Color->ScanLine(SY);
        const Byte* M = Data->Mask->ScanLine(SY);
        Canvas->ForEachVisible(DY, Left, RightEnd, [&](Integer A, Integer B) {
            Byte* const D = Canvas->PixelAddress(A, DY);
            for (Integer DX = A; DX < B; ++DX) {
                const Integer SX = Integer(((2 * (Int64(DX) - X) + 1) * SW) / (2 * Int64(Width)));
                const Byte* S = C + 4 * SX;
                Byte* P = D + size_t(DX - A) * Bpp;
                if (Data->HasAlpha && (Flags & DI_NORMAL) == DI_NORMAL) {
                    const unsigned A8 = S[3];
                    for (int I = 0; I < 3; ++I)
                        P[I] = Byte((S[I] * A8 + P[I] * (255 - A8) + 127) / 255);
                    continue;
                }
                for (int I = 0; I < 3; ++I) {
                    Byte V = P[I];
                    if (Flags & DI_MASK)
                        V &= M[3 * SX + I];
                    if (Flags & DI_IMAGE)
                        V ^= S[I];
                    P[I] = V;
                }
            }
        });
    }
    return true;
}

Integer GetDeviceCaps(TCanvas* Canvas, Integer Index)
{
    switch (Index) {
    case BITSPIXEL: return 32;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
    }
}

bool DrawIconData(TCanvas* Canvas, const TRect& R, std::span<const Byte> Data)
{
    TIconFile File;
    if (!Canvas || !ReadIconFile(Data, File))
        return false;
    const Integer W = Integer(std::clamp<Int64>(Int64(R.Right) - R.Left, 0, INT32_MAX));
    const Integer H = Integer(std::clamp<Int64>(Int64(R.Bottom) - R.Top, 0, INT32_MAX));
    TIconImage Image;
    try {
        if (!ReadIconImage(File, SelectIconEntry(File, W, H, GetDeviceCaps(Canvas, BITSPIXEL)), Image))
            return false;
    } catch (const EInvalidGraphic&) {
        return false;
    }
    // The image split into its colour bitmap and mask, as an icon.
    TOwnedPtr<TBitmap> Color(MakeOwned<TBitmap>()), Mask(MakeOwned<TBitmap>());
    Color->SetPixelFormat(pf32bit);
    Color->SetSize(Image.Width, Image.Height);
    Mask->SetSize(Image.Width, Image.Height);
    for (Integer Y = 0; Y < Image.Height; ++Y) {
        std::memcpy(Color->ScanLine(Y), &Image.Pixels[size_t(Y) * Image.Width * 4], size_t(Image.Width) * 4);
        Byte* M = Mask->ScanLine(Y);
        for (Integer X = 0; X < Image.Width; ++X)
            std::memset(M + 3 * X, Image.Mask[size_t(Y) * Image.Width + X] ? 0xFF : 0, 3);
    }
    ICONINFO Info;
    Info.hbmColor = Color.get();
    Info.hbmMask = Mask.get();
    HICON Icon = CreateIconIndirect(&Info);
    if (!Icon)
        throw EOutOfResources(u"Out Of Resources");
    DrawIconEx(Canvas, R.Left, R.Top, Icon, W, H, 0, nullptr, DI_NORMAL);
    DestroyIcon(Icon);
    return true;
}

// --- TIcon ------------------------------------------------------------------

void TIcon::LoadFromStream(TStream* Stream)
{
    // An icon of 256 full-size images is far below this.
    constexpr Int64 MaxIconBytes = 64 << 20;
    const Int64 Left = Stream->Size() - Stream->Position();
    if (Left <= 0 || Left > MaxIconBytes)
        throw EInvalidGraphic(u"Not an icon");
    std::vector<Byte> Bytes(static_cast<size_t>(Left));
    Stream->ReadBuffer(Bytes.data(), Left);
    TIconFile File;
    if (!ReadIconFile(Bytes, File))
        throw EInvalidGraphic(u"Not an icon");
    const TIconEntry& E = File.Entries[SelectIconEntry(File, 0, 0, 32)];
    FData.swap(Bytes);
    FWidth = E.Width;
    FHeight = E.Height;
}

void TIcon::SaveToStream(TStream* Stream)
{
    if (!FData.empty())
        Stream->WriteBuffer(FData.data(), Int64(FData.size()));
}

void TIcon::Draw(TBitmap* Dest, const TRect& Rect)
{
    if (!Dest || FData.empty())
        return;
    TOwnedPtr<TCanvas> C(MakeOwned<TCanvas>(Dest));
    DrawIconData(C.get(), Rect, FData);
}

void TIcon::Assign(TPersistent* Source)
{
    if (!Source) {
        FData.clear();
        FWidth = FHeight = 0;
        return;
    }
    if (auto* Other = DynamicCast<TIcon>(Source)) {
        FData = Other->FData;
        FWidth = Other->FWidth;
        FHeight = Other->FHeight;
        return;
    }
    inherited::Assign(Source);
}
