// The picture library's text machinery, private to it: the one pango font
// map (over the built-in fontconfig configuration), contexts with fixed
// rendering options, and the lock every use of them holds (pango's font
// maps are not thread-safe).
#pragma once
#include "gdi/Font.h"
#include <mutex>
#include <pango/pangocairo.h>
#include <string>

namespace FontSystem {

std::recursive_mutex& Lock();
// Made on first use; lives as long as the process.
PangoFontMap* FontMap();

// A context drawing with Quality's antialiasing, hinted as the
// configuration says, metrics rounded to whole pixels; the caller frees it
// (g_object_unref). RightToLeft sets the base direction.
PangoContext* NewContext(TFontQuality Quality, bool RightToLeft = false);
cairo_antialias_t Antialias(TFontQuality Quality);

// A layout of Text (UTF-8) in Font on Context, one paragraph; the caller
// frees it. Underline and strike-out come from the font's style.
PangoLayout* NewLayout(PangoContext* Context, const TFont* Font, const std::string& Text);

// The logical width of Text in whole pixels.
Integer TextWidth(PangoContext* Context, const TFont* Font, const std::string& Text);

} // namespace FontSystem
