// Rich text rendered off screen for the design items: a note's stream into
// a bitmap of bounded height, a fixed text into a metafile. Both lay the
// text out with the rich-edit engine at screen resolution.
#pragma once
#include "gdi/Bitmap.h"
#include "gdi/Metafile.h"
#include "rtl/Streams.h"

// Page margins of a rendering, in pixels.
struct TXRichMargins {
    Integer Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// The rich text (or plain text) of Stream, Width pixels wide, drawn on
// the window colour into Bitmap, at most MaxHeight pixels tall. Answers
// whether all of it fitted. Nothing to show, or a size beyond the picture
// cap, leaves Bitmap empty (0 x 0).
bool RenderRichStreamToBitmap(TStream* Stream, TBitmap* Bitmap, const TXRichMargins& Margins, Integer MaxHeight,
    Integer Width);

// Text (rich or plain) laid out Width pixels wide into Metafile; answers
// the rendered height in pixels, margins included.
Integer RenderRichTextToMetafile(const String& Text, TMetafile* Metafile, Integer Width, const TXRichMargins& Margins);
