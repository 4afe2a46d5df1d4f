// Page-wise layout of a document in twips (1/1440 inch), and drawing a
// laid-out page on any canvas: a window's bitmap, a metafile canvas or a
// printer's page all take the same calls.
//
//     TRichPage Page = FormatRange(Doc, 0, Rect(0, 0, 4 * 1440, 11 * 1440));
//     DrawRange(Bmp->Canvas(), Doc, Page, 96, 96);
//     // Page.Next: the first character that did not fit; Page.Bottom: where
//     // the formatted part ends, in twips.
//
// Text is laid out by pango at 1440 dots per inch over the picture
// library's font map, so one unit is one twip whatever the device.
#pragma once
#include "gdi/Canvas.h"
#include "richedit/RichDocument.h"
#include <vector>

// One line of a formatted page. Lengths in twips from the page's origin.
struct TRichLine {
    Integer Start = 0, End = 0; // characters; End is past the paragraph mark on a paragraph's last line
    Integer Top = 0, Height = 0, Ascent = 0;
    bool Bullet = false; // the paragraph's first line, with a bullet at BulletX
    Integer BulletX = 0;
    // What is drawn: words of one format each, never holding a tab, an
    // object or a line break but as their only character.
    struct TPiece {
        Integer Start = 0, End = 0;
        Integer X = 0, Width = 0;
    };
    std::vector<TPiece> Pieces;
};

struct TRichPage {
    std::vector<TRichLine> Lines;
    // The first character not formatted (the text's length when all fit).
    Integer Next = 0;
    // The bottom of the last line formatted, or the rectangle's top when none.
    Integer Bottom = 0;
};

// Lays out Doc from character Start into Rect (twips): whole lines, one
// below the other, while they fit. With TakeOneLine a first line taller
// than Rect is taken all the same (drawn cut), so a printer always moves on.
TRichPage FormatRange(const TRichDocument& Doc, Integer Start, const TRect& Rect, bool TakeOneLine = false);

// Draws Page on Canvas with twips mapped to pixels at DpiX by DpiY; a
// line taller than the page is cut at Clip (pixels; empty: no cut).
void DrawRange(TCanvas* Canvas, const TRichDocument& Doc, const TRichPage& Page, Integer DpiX, Integer DpiY,
    const TRect& Clip = TRect());

// Twips to device pixels and back, rounded.
Integer TwipsToPixels(Integer Twips, Integer Dpi);
Integer PixelsToTwips(Integer Pixels, Integer Dpi);
