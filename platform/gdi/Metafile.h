// TMetafile: a recorded drawing, replayed stretched into any rectangle.
//
//     TOwnedPtr<TMetafile> Mf(MakeOwned<TMetafile>());
//     Mf->SetSize(100, 100);
//     {
//         TOwnedPtr<TMetafileCanvas> C(MakeOwned<TMetafileCanvas>(Mf.get()));
//         C->Brush()->SetColor(clBlack);
//         C->Polygon(Star);
//     }
//     Mf->Draw(Bmp, Rect(0, 0, 400, 400));     // four times as large
//
// The calls are kept with the brush and pen they were made with (colours
// and styles; a brush pattern is not kept), text with its font (underline
// and strike-out too), pictures as PNG copies, and stored in our own
// stream form: "XMF2", or "XMF1" (which older readers take) when there is
// no picture; both read. Enhanced metafiles of the operating system are
// not read: loading one raises EInvalidGraphic.
#pragma once
#include "gdi/Canvas.h"
#include <memory>
#include <vector>

class TPngImage;

class TMetafile : public TGraphic {
    X_CLASS(TMetafile, TGraphic)
public:
    void Create() override { }

    // One recorded call. Rectangles and lines keep two points; TextOut
    // its point, DrawText its rectangle and a picture its target
    // rectangle as two points.
    enum TKind : Byte { mkFillRect, mkRectangle, mkLine, mkPolyline, mkPolygon, mkTextOut, mkDrawText, mkPicture };
    struct TRecord {
        TKind Kind = mkFillRect;
        TColor BrushColor = clWhite;
        TBrushStyle BrushStyle = bsSolid;
        TColor PenColor = clBlack;
        Integer PenWidth = 1;
        TPenStyle PenStyle = psSolid;
        std::vector<TPoint> Points;
        // Text records only: the string, DrawText's flags and the font.
        String Text;
        Cardinal Format = 0;
        String FontName;
        Integer FontHeight = 0;
        TFontStyles FontStyle = 0;
        TColor FontColor = clBlack;
        TFontQuality FontQuality = fqDefault;
        // Picture records only; shared by copies of the metafile, never changed.
        std::shared_ptr<const TPngImage> Picture;
    };

    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    // The frame the calls were recorded in.
    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    void SetSize(Integer AWidth, Integer AHeight);
    bool Empty() const override { return FWidth <= 0 || FHeight <= 0; }
    // Replays the calls with the frame mapped onto Rect, clipped to Rect.
    void Draw(TBitmap* Dest, const TRect& Rect) override;
    using TGraphic::Draw;
    void Assign(TPersistent* Source) override;
    void Clear() { FRecords.clear(); }

    const std::vector<TRecord>& Records() const { return FRecords; }
    void Add(TRecord Record) { FRecords.push_back(std::move(Record)); }
    TRecord& LastRecord() { return FRecords.back(); }

private:
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::vector<TRecord> FRecords;
};

// A canvas that records its calls into a metafile (borrowed) instead of
// drawing. Pictures and copies from other canvases are kept as pictures.
class TMetafileCanvas : public TCanvas {
    X_CLASS(TMetafileCanvas, TCanvas)
public:
    void Create(TMetafile* AMetafile);

    void FillRect(const TRect& R) override;
    void Rectangle(const TRect& R) override;
    void LineTo(Integer X, Integer Y) override;
    void Polyline(std::span<const TPoint> Points) override;
    void Polygon(std::span<const TPoint> Points) override;
    void TextOut(Integer X, Integer Y, const String& Text) override;
    Integer DrawText(const String& Text, TRect& R, Cardinal Format) override;
    void CopyRect(const TRect& DestRect, TCanvas* Source, const TRect& SourceRect) override;
    void Draw(Integer X, Integer Y, TGraphic* Graphic) override;
    void StretchDraw(const TRect& R, TGraphic* Graphic) override;

private:
    void Record(TMetafile::TKind Kind, std::span<const TPoint> Points);
    void RecordText(TMetafile::TKind Kind, std::span<const TPoint> Points, const String& Text, Cardinal Format);
    void RecordPicture(const TRect& R, std::shared_ptr<const TPngImage> Picture);
    TMetafile* FMetafile = nullptr;
};
