#include "calendar_designs/XDesign.RichText.h"
#include "calendar_designs/XDesign.Items.h"
#include "richedit/RichLayout.h"
#include "richedit/RichStreams.h"

namespace {

constexpr Integer ScreenDpi = 96;
// Whatever a height allows, no page is laid out taller than this (about
// 2.7 m of text at screen resolution): the layout's work stays bounded.
constexpr Integer MaxLayoutPixels = 100000;

// Lays Doc out Width pixels wide and at most MaxHeight tall; Height is the
// laid-out height with margins.
TRichPage LayOut(const TRichDocument& Doc, Integer Width, Integer MaxHeight, const TXRichMargins& M, Integer& Height,
    bool& Fitted)
{
    // No picture is wider than the bitmap cap; twips of more would overflow.
    const Integer InnerW = std::clamp(Width - M.Left - M.Right, 1, 65535);
    const Integer InnerH = std::clamp(MaxHeight - M.Top - M.Bottom, 0, MaxLayoutPixels);
    TRichPage Page
        = FormatRange(Doc, 0, Rect(0, 0, PixelsToTwips(InnerW, ScreenDpi), PixelsToTwips(InnerH, ScreenDpi)));
    Fitted = Page.Next >= Doc.Length();
    Height = TwipsToPixels(Page.Bottom, ScreenDpi) + M.Top + M.Bottom;
    return Page;
}

// The page moved by the margins, in twips.
void Shift(TRichPage& Page, const TXRichMargins& M)
{
    const Integer DX = PixelsToTwips(M.Left, ScreenDpi), DY = PixelsToTwips(M.Top, ScreenDpi);
    for (TRichLine& Line : Page.Lines) {
        Line.Top += DY;
        Line.BulletX += DX;
        for (auto& Piece : Line.Pieces)
            Piece.X += DX;
    }
}

}

bool RenderRichStreamToBitmap(TStream* Stream, TBitmap* Bitmap, const TXRichMargins& Margins, Integer MaxHeight,
    Integer Width)
{
    Bitmap->SetSize(0, 0);
    TRichDocument Doc;
    Stream->SetPosition(0);
    LoadRichStream(Stream, Doc, false);
    if (Doc.Length() == 0 || Width <= 0 || MaxHeight <= 0 || !DesignBitmapFits(Width, MaxHeight))
        return true;
    Integer Height = 0;
    bool Fitted = true;
    TRichPage Page = LayOut(Doc, Width, MaxHeight, Margins, Height, Fitted);
    Height = std::min(Height, MaxHeight);
    if (Height <= 0)
        return Fitted;
    Shift(Page, Margins);
    Bitmap->SetPixelFormat(pf24bit);
    Bitmap->SetSize(Width, Height);
    Bitmap->Fill(0xFFFFFF);
    DrawRange(Bitmap->Canvas(), Doc, Page, ScreenDpi, ScreenDpi, Rect(0, 0, Width, Height));
    return Fitted;
}

Integer RenderRichTextToMetafile(const String& Text, TMetafile* Metafile, Integer Width, const TXRichMargins& Margins)
{
    TRichDocument Doc;
    TOwnedPtr<TStringStream> Stream(MakeOwned<TStringStream>(Text));
    LoadRichStream(Stream.get(), Doc, false);
    Integer Height = 0;
    bool Fitted = true;
    TRichPage Page = LayOut(Doc, Width, MaxLayoutPixels, Margins, Height, Fitted);
    Shift(Page, Margins);
    // The metafile's frame stays within the picture cap; a wider item is
    // never painted anyway.
    Metafile->SetSize(std::clamp(Width, 1, 65535), std::clamp(Height, 1, 65535));
    TOwnedPtr<TMetafileCanvas> C(MakeOwned<TMetafileCanvas>(Metafile));
    DrawRange(C.get(), Doc, Page, ScreenDpi, ScreenDpi);
    return Height;
}
