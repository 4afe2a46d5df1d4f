// The pictures of rich text: their size read from the bytes, and decoding
// them for drawing within a pixel cap of their own.
#pragma once
#include "gdi/Graphic.h"
#include "richedit/RichDocument.h"

// A picture in rich text is decoded only when it has at most this many
// pixels: a few bytes of PNG can claim a picture of gigabytes, and a
// document must stay cheap to show. Larger ones are shown as a frame.
constexpr Int64 MaxRichPicturePixels = Int64(16) << 20;

// Sets Width and Height from the picture's own header; false (sizes kept)
// when the bytes have none that can be read.
bool ReadPictureSize(TRichPicture& Picture);
// The picture decoded, or null when it cannot be (damaged, unknown, or
// beyond the cap). The caller owns it.
TOwnedPtr<TGraphic> DecodePicture(const TRichPicture& Picture);
