#include "gdi/Metafile.h"
#include "gdi/PngImage.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <cmath>
#include <cstring>

X_REGISTER_CLASS(TMetafile)
X_REGISTER_CLASS(TMetafileCanvas)

namespace {

constexpr char Magic[4] = { 'X', 'M', 'F', '1' };
// The same with picture records.
constexpr char MagicWithPictures[4] = { 'X', 'M', 'F', '2' };
// Deflate packs at most 1032 bytes into one; a PNG's pixels can be no more
// than that many per byte of its data (8 per byte at one bit a pixel).
constexpr Int64 MaxPixelsPerPngByte = 1032 * 8;
// Kind, brush colour and style, pen colour, width and style, point count.
constexpr Int64 RecordHeaderSize = 1 + 4 + 1 + 4 + 4 + 1 + 4;

template<class T>
T ReadValue(TStream* S)
{
    T V {};
    S->ReadBuffer(&V, sizeof V);
    return V;
}

template<class T>
void WriteValue(TStream* S, T V)
{
    S->WriteBuffer(&V, sizeof V);
}

// A UTF-8 string after its byte count, checked against what is left.
String ReadText(TStream* S)
{
    const Cardinal Length = ReadValue<Cardinal>(S);
    if (Int64(Length) > S->Size() - S->Position())
        throw EInvalidGraphic(u"Metafile cut short");
    std::string Bytes(Length, '\0');
    S->ReadBuffer(Bytes.data(), Length);
    return UTF8ToString(Bytes);
}

void WriteText(TStream* S, const String& Text)
{
    const std::string Bytes = StringToUTF8(Text);
    WriteValue<Cardinal>(S, Cardinal(Bytes.size()));
    S->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
}

bool IsText(TMetafile::TKind Kind)
{
    return Kind == TMetafile::mkTextOut || Kind == TMetafile::mkDrawText;
}

std::shared_ptr<const TPngImage> SharedPng(TOwnedPtr<TPngImage> Png)
{
    return std::shared_ptr<const TPngImage>(Png.release(), TObjectFree());
}

// A PNG after its byte count. Its header's size is checked against its
// bytes before anything is decoded, so a small record never becomes a
// large picture.
std::shared_ptr<const TPngImage> ReadPicture(TStream* S)
{
    const Cardinal Length = ReadValue<Cardinal>(S);
    if (Int64(Length) > S->Size() - S->Position() || Length < 24)
        throw EInvalidGraphic(u"Metafile cut short");
    TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
    Bytes->CopyFrom(S, Length);
    const Byte* Head = static_cast<const Byte*>(Bytes->Memory());
    const Int64 W = PngUInt32(Head + 16), H = PngUInt32(Head + 20);
    if (W * H > Int64(Length) * MaxPixelsPerPngByte)
        throw EInvalidGraphic(u"Damaged metafile picture");
    Bytes->SetPosition(0);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->LoadFromStream(Bytes.get());
    return SharedPng(std::move(Png));
}

void WritePicture(TStream* S, const TPngImage* Png)
{
    TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
    const_cast<TPngImage*>(Png)->SaveToStream(Bytes.get());
    WriteValue<Cardinal>(S, Cardinal(Bytes->Size()));
    S->WriteBuffer(Bytes->Memory(), Bytes->Size());
}

} // namespace

void TMetafile::SetSize(Integer AWidth, Integer AHeight)
{
    CheckGraphicSize(AWidth, AHeight);
    FWidth = AWidth;
    FHeight = AHeight;
}

void TMetafile::LoadFromStream(TStream* Stream)
{
    Byte Head[44] = {};
    const Int64 Start = Stream->Position();
    const Int64 Got = Stream->Read(Head, sizeof Head);
    // An enhanced metafile: record type 1 first, " EMF" at offset 40.
    if (Got >= 44 && Head[0] == 1 && Head[1] == 0 && Head[2] == 0 && Head[3] == 0 &&
        std::memcmp(Head + 40, " EMF", 4) == 0)
        throw EInvalidGraphic(u"Enhanced metafiles are not supported");
    const bool WithPictures = Got >= 16 && std::memcmp(Head, MagicWithPictures, 4) == 0;
    if (Got < 16 || (std::memcmp(Head, Magic, 4) != 0 && !WithPictures))
        throw EInvalidGraphic(u"Not a metafile");
    Stream->SetPosition(Start + 4);
    try {
        const Integer W = ReadValue<Integer>(Stream), H = ReadValue<Integer>(Stream);
        CheckGraphicSize(W, H);
        const Cardinal Count = ReadValue<Cardinal>(Stream);
        // Every count is checked against the bytes that are left.
        Int64 Left = Stream->Size() - Stream->Position();
        if (Int64(Count) * RecordHeaderSize > Left)
            throw EInvalidGraphic(u"Metafile cut short");
        std::vector<TRecord> Records(Count);
        for (TRecord& R : Records) {
            const Byte Kind = ReadValue<Byte>(Stream);
            if (Kind > (WithPictures ? mkPicture : mkDrawText))
                throw EInvalidGraphic(u"Unknown metafile record");
            R.Kind = TKind(Kind);
            R.BrushColor = ReadValue<TColor>(Stream);
            R.BrushStyle = ReadValue<Byte>(Stream) ? bsClear : bsSolid;
            R.PenColor = ReadValue<TColor>(Stream);
            R.PenWidth = std::max(1, ReadValue<Integer>(Stream));
            R.PenStyle = ReadValue<Byte>(Stream) ? psClear : psSolid;
            const Cardinal Points = ReadValue<Cardinal>(Stream);
            Left = Stream->Size() - Stream->Position();
            if (Int64(Points) * 8 > Left)
                throw EInvalidGraphic(u"Metafile cut short");
            R.Points.resize(Points);
            for (TPoint& P : R.Points) {
                P.X = ReadValue<Integer>(Stream);
                P.Y = ReadValue<Integer>(Stream);
            }
            if (IsText(R.Kind)) {
                R.Text = ReadText(Stream);
                R.Format = ReadValue<Cardinal>(Stream);
                R.FontName = ReadText(Stream);
                R.FontHeight = ReadValue<Integer>(Stream);
                R.FontStyle = ReadValue<Byte>(Stream) & 0x0F;
                R.FontColor = ReadValue<TColor>(Stream);
                const Byte Quality = ReadValue<Byte>(Stream);
                R.FontQuality = Quality <= fqClearTypeNatural ? TFontQuality(Quality) : fqDefault;
                if (R.Points.size() != (R.Kind == mkTextOut ? 1u : 2u))
                    throw EInvalidGraphic(u"Damaged metafile text record");
            }
            if (R.Kind == mkPicture) {
                if (R.Points.size() != 2)
                    throw EInvalidGraphic(u"Damaged metafile picture");
                R.Picture = ReadPicture(Stream);
            }
        }
        FWidth = W;
        FHeight = H;
        FRecords.swap(Records);
    } catch (const EReadError&) {
        throw EInvalidGraphic(u"Metafile cut short");
    }
}

void TMetafile::SaveToStream(TStream* Stream)
{
    const bool WithPictures =
        std::any_of(FRecords.begin(), FRecords.end(), [](const TRecord& R) { return R.Kind == mkPicture; });
    Stream->WriteBuffer(WithPictures ? MagicWithPictures : Magic, 4);
    WriteValue<Integer>(Stream, FWidth);
    WriteValue<Integer>(Stream, FHeight);
    WriteValue<Cardinal>(Stream, Cardinal(FRecords.size()));
    for (const TRecord& R : FRecords) {
        WriteValue<Byte>(Stream, R.Kind);
        WriteValue<TColor>(Stream, R.BrushColor);
        WriteValue<Byte>(Stream, R.BrushStyle == bsClear);
        WriteValue<TColor>(Stream, R.PenColor);
        WriteValue<Integer>(Stream, R.PenWidth);
        WriteValue<Byte>(Stream, R.PenStyle == psClear);
        WriteValue<Cardinal>(Stream, Cardinal(R.Points.size()));
        for (const TPoint& P : R.Points) {
            WriteValue<Integer>(Stream, P.X);
            WriteValue<Integer>(Stream, P.Y);
        }
        if (IsText(R.Kind)) {
            WriteText(Stream, R.Text);
            WriteValue<Cardinal>(Stream, R.Format);
            WriteText(Stream, R.FontName);
            WriteValue<Integer>(Stream, R.FontHeight);
            WriteValue<Byte>(Stream, Byte(R.FontStyle));
            WriteValue<TColor>(Stream, R.FontColor);
            WriteValue<Byte>(Stream, Byte(R.FontQuality));
        }
        if (R.Kind == mkPicture)
            WritePicture(Stream, R.Picture.get());
    }
}

void TMetafile::Draw(TBitmap* Dest, const TRect& Rect)
{
    if (!Dest || Empty() || Rect.IsEmpty())
        return;
    TOwnedPtr<TCanvas> C(MakeOwned<TCanvas>(Dest));
    C->SetClipRect(Rect);
    const double SX = (double(Rect.Right) - Rect.Left) / FWidth, SY = (double(Rect.Bottom) - Rect.Top) / FHeight;
    auto Map = [&](TPoint P) {
        auto Coord = [](double V) { return Integer(std::clamp(std::nearbyint(V), -1e9, 1e9)); };
        return Point(Coord(Rect.Left + P.X * SX), Coord(Rect.Top + P.Y * SY));
    };
    std::vector<TPoint> Points;
    for (const TRecord& R : FRecords) {
        C->Brush()->SetColor(R.BrushColor);
        C->Brush()->SetStyle(R.BrushStyle);
        C->Pen()->SetColor(R.PenColor);
        C->Pen()->SetStyle(R.PenStyle);
        C->Pen()->SetWidth(Integer(std::clamp(std::nearbyint(R.PenWidth * (SX + SY) / 2), 1.0, 1e6)));
        Points.clear();
        for (const TPoint& P : R.Points)
            Points.push_back(Map(P));
        switch (R.Kind) {
        case mkFillRect:
        case mkRectangle:
            if (Points.size() == 2) {
                const TRect Box = ::Rect(Points[0].X, Points[0].Y, Points[1].X, Points[1].Y);
                if (R.Kind == mkFillRect)
                    C->FillRect(Box);
                else
                    C->Rectangle(Box);
            }
            break;
        case mkLine:
        case mkPolyline: C->Polyline(Points); break;
        case mkPolygon: C->Polygon(Points); break;
        case mkTextOut:
        case mkDrawText: {
            TFont* F = C->Font();
            F->SetName(R.FontName);
            // The font grows with the frame's height.
            const double Height = std::clamp(std::nearbyint(R.FontHeight * SY), -1e6, 1e6);
            F->SetHeight(Integer(Height == 0 && R.FontHeight != 0 ? (R.FontHeight < 0 ? -1 : 1) : Height));
            F->SetStyle(R.FontStyle);
            F->SetColor(R.FontColor);
            F->SetQuality(R.FontQuality);
            if (R.Kind == mkTextOut && Points.size() == 1) {
                C->TextOut(Points[0].X, Points[0].Y, R.Text);
            } else if (Points.size() == 2) {
                TRect Box = ::Rect(Points[0].X, Points[0].Y, Points[1].X, Points[1].Y);
                C->DrawText(R.Text, Box, R.Format & ~DT_CALCRECT);
            }
            break;
        }
        case mkPicture:
            if (Points.size() == 2 && R.Picture)
                C->StretchDraw(::Rect(Points[0].X, Points[0].Y, Points[1].X, Points[1].Y),
                    const_cast<TPngImage*>(R.Picture.get()));
            break;
        }
    }
}

void TMetafile::Assign(TPersistent* Source)
{
    if (!Source) {
        FWidth = FHeight = 0;
        FRecords.clear();
        return;
    }
    if (auto* Other = DynamicCast<TMetafile>(Source)) {
        FWidth = Other->FWidth;
        FHeight = Other->FHeight;
        FRecords = Other->FRecords;
        return;
    }
    inherited::Assign(Source);
}

void TMetafileCanvas::Create(TMetafile* AMetafile)
{
    inherited::Create(nullptr);
    FMetafile = AMetafile;
}

void TMetafileCanvas::Record(TMetafile::TKind Kind, std::span<const TPoint> Points)
{
    if (!FMetafile)
        return;
    TMetafile::TRecord R;
    R.Kind = Kind;
    R.BrushColor = Brush()->Color();
    R.BrushStyle = Brush()->Style();
    R.PenColor = Pen()->Color();
    R.PenWidth = Pen()->Width();
    R.PenStyle = Pen()->Style();
    R.Points.assign(Points.begin(), Points.end());
    FMetafile->Add(std::move(R));
}

void TMetafileCanvas::FillRect(const TRect& R)
{
    const TPoint P[2] = { { R.Left, R.Top }, { R.Right, R.Bottom } };
    Record(TMetafile::mkFillRect, P);
}

void TMetafileCanvas::Rectangle(const TRect& R)
{
    const TPoint P[2] = { { R.Left, R.Top }, { R.Right, R.Bottom } };
    Record(TMetafile::mkRectangle, P);
}

void TMetafileCanvas::LineTo(Integer X, Integer Y)
{
    const TPoint P[2] = { PenPos(), Point(X, Y) };
    Record(TMetafile::mkLine, P);
    MoveTo(X, Y);
}

void TMetafileCanvas::Polyline(std::span<const TPoint> Points)
{
    Record(TMetafile::mkPolyline, Points);
}

void TMetafileCanvas::Polygon(std::span<const TPoint> Points)
{
    Record(TMetafile::mkPolygon, Points);
}

void TMetafileCanvas::TextOut(Integer X, Integer Y, const String& Text)
{
    const TPoint P[1] = { { X, Y } };
    RecordText(TMetafile::mkTextOut, P, Text, 0);
    MoveTo(Integer(std::clamp<Int64>(Int64(X) + TextWidth(Text), INT32_MIN, INT32_MAX)), Y);
}

Integer TMetafileCanvas::DrawText(const String& Text, TRect& R, Cardinal Format)
{
    if (!(Format & DT_CALCRECT)) {
        const TPoint P[2] = { { R.Left, R.Top }, { R.Right, R.Bottom } };
        RecordText(TMetafile::mkDrawText, P, Text, Format);
    }
    // Without a bitmap the canvas only measures.
    return inherited::DrawText(Text, R, Format);
}

void TMetafileCanvas::RecordText(TMetafile::TKind Kind, std::span<const TPoint> Points, const String& Text,
    Cardinal Format)
{
    if (!FMetafile)
        return;
    Record(Kind, Points);
    TMetafile::TRecord& R = FMetafile->LastRecord();
    R.Text = Text;
    R.Format = Format;
    R.FontName = Font()->Name();
    R.FontHeight = Font()->Height();
    R.FontStyle = Font()->Style();
    R.FontColor = Font()->Color();
    R.FontQuality = Font()->Quality();
}

void TMetafileCanvas::RecordPicture(const TRect& R, std::shared_ptr<const TPngImage> Picture)
{
    if (!FMetafile || R.IsEmpty())
        return;
    const TPoint P[2] = { { R.Left, R.Top }, { R.Right, R.Bottom } };
    Record(TMetafile::mkPicture, P);
    FMetafile->LastRecord().Picture = std::move(Picture);
}

void TMetafileCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic)
{
    if (Graphic && !Graphic->Empty())
        StretchDraw(::Rect(X, Y, X + Graphic->Width(), Y + Graphic->Height()), Graphic);
}

void TMetafileCanvas::StretchDraw(const TRect& R, TGraphic* Graphic)
{
    if (!FMetafile || !Graphic || Graphic->Empty() || R.IsEmpty())
        return;
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    if (DynamicCast<TPngImage>(Graphic) || DynamicCast<TBitmap>(Graphic)) {
        // Kept as they are, transparency and all.
        Png->Assign(Graphic);
    } else {
        Png->Assign(GraphicOnWhite(Graphic).get());
    }
    RecordPicture(R, SharedPng(std::move(Png)));
}

void TMetafileCanvas::CopyRect(const TRect& DestRect, TCanvas* Source, const TRect& SourceRect)
{
    if (!FMetafile || !Source || !Source->Bitmap() || SourceRect.IsEmpty())
        return;
    // The source's pixels as they are now, since the source may change.
    TOwnedPtr<TBitmap> Copy(MakeOwned<TBitmap>());
    Copy->SetSize(SourceRect.Width(), SourceRect.Height());
    Copy->Fill(clWhite);
    Copy->Canvas()->CopyRect(::Rect(0, 0, SourceRect.Width(), SourceRect.Height()), Source, SourceRect);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Copy.get());
    RecordPicture(DestRect, SharedPng(std::move(Png)));
}
