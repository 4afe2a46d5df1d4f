#include "richedit/RichLayout.h"
#include "gdi/FontSystem.h"
#include "richedit/RichPicture.h"
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

Integer TwipsToPixels(Integer Twips, Integer Dpi)
{
    const Int64 V = Int64(Twips) * Dpi;
    return Integer(V >= 0 ? (V + 720) / 1440 : -((-V + 720) / 1440));
}

Integer PixelsToTwips(Integer Pixels, Integer Dpi)
{
    if (Dpi <= 0)
        return 0;
    const Int64 V = Int64(Pixels) * 1440;
    return Integer(V >= 0 ? (V + Dpi / 2) / Dpi : -((-V + Dpi / 2) / Dpi));
}

namespace {

constexpr Integer DefaultTab = 720;
constexpr Integer BulletGap = 360; // from a bullet to its text when the paragraph says no offset

struct TGObject {
    void operator()(void* P) const { g_object_unref(P); }
};
struct TAttrList {
    void operator()(PangoAttrList* P) const { pango_attr_list_unref(P); }
};

// Sub- and superscript are drawn two thirds high and moved by a third of
// the size unless the format gives its own offset.
Integer ShownHeight(const TRichCharFormat& F)
{
    return (F.Effects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT)) ? std::max(1, F.Height * 2 / 3) : F.Height;
}

Integer Rise(const TRichCharFormat& F)
{
    if (F.Offset)
        return F.Offset;
    if (F.Effects & CFE_SUPERSCRIPT)
        return F.Height / 3;
    if (F.Effects & CFE_SUBSCRIPT)
        return -F.Height / 6;
    return 0;
}

// A paragraph's text as pango takes it, with the byte each character starts at.
struct TParaText {
    std::string Utf8;
    std::vector<Integer> ByteOf; // one per character, and one past the end
};

TParaText ParaText(StringView Text)
{
    TParaText P;
    P.ByteOf.reserve(Text.size() + 1);
    for (size_t I = 0; I < Text.size(); ++I) {
        P.ByteOf.push_back(Integer(P.Utf8.size()));
        Char C = Text[I];
        if (C == u'\v') {
            P.Utf8 += "\u2028"; // a line break inside the paragraph
            continue;
        }
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] <= 0xDFFF) {
            P.Utf8 += StringToUTF8(Text.substr(I, 2));
            P.ByteOf.push_back(Integer(P.Utf8.size())); // the low half starts nowhere of its own
            ++I;
            continue;
        }
        if ((C >= 0xD800 && C <= 0xDFFF) || C == 0)
            C = 0xFFFD;
        P.Utf8 += StringToUTF8(StringView(&C, 1));
    }
    P.ByteOf.push_back(Integer(P.Utf8.size()));
    return P;
}

Integer CharAtByte(const TParaText& P, Integer Byte)
{
    return Integer(std::lower_bound(P.ByteOf.begin(), P.ByteOf.end(), Byte) - P.ByteOf.begin());
}

void Insert(PangoAttrList* List, PangoAttribute* A, Integer From, Integer To)
{
    A->start_index = guint(From);
    A->end_index = guint(To);
    pango_attr_list_insert(List, A);
}

// The attributes of the runs in [Start, End) of Doc, for pango.
PangoAttrList* RunAttributes(const TRichDocument& Doc, Integer Start, Integer End, const TParaText& P)
{
    PangoAttrList* List = pango_attr_list_new();
    const String& Text = Doc.Text();
    size_t NextObject = size_t(std::count(Text.begin(), Text.begin() + Start, ObjectMark));
    for (size_t R = Doc.RunIndexAt(Start); R < Doc.Runs().size() && Doc.Runs()[R].Start < End; ++R) {
        const TRichCharFormat& F = Doc.Runs()[R].Format;
        const Integer A = std::max(Doc.Runs()[R].Start, Start) - Start;
        const Integer B = std::min(Doc.RunEnd(R), End) - Start;
        const Integer From = P.ByteOf[size_t(A)], To = P.ByteOf[size_t(B)];
        const std::string Family = StringToUTF8(F.FaceName);
        Insert(List, pango_attr_family_new(Family.c_str()), From, To);
        Insert(List, pango_attr_size_new(int(Int64(ShownHeight(F)) * PANGO_SCALE / 20)), From, To);
        Insert(List, pango_attr_weight_new(F.Effects & CFE_BOLD ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL), From, To);
        Insert(List, pango_attr_style_new(F.Effects & CFE_ITALIC ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL), From, To);
        if (const Integer Up = Rise(F))
            Insert(List, pango_attr_rise_new(Up * PANGO_SCALE), From, To);
        // Objects take the place of their shown size.
        for (Integer I = A; I < B; ++I)
            if (Text[size_t(Start + I)] == ObjectMark) {
                const TRichPicture& Pic = Doc.Objects()[NextObject++].Picture;
                const PangoRectangle Box { 0, -Pic.ShownHeight() * PANGO_SCALE, Pic.ShownWidth() * PANGO_SCALE,
                    Pic.ShownHeight() * PANGO_SCALE };
                Insert(List, pango_attr_shape_new(&Box, &Box), P.ByteOf[size_t(I)], P.ByteOf[size_t(I + 1)]);
            }
    }
    return List;
}

// A context measuring in twips, with no hinting, so a page lays out the
// same on every device.
PangoContext* TwipsContext()
{
    PangoContext* Context = pango_font_map_create_context(FontSystem::FontMap());
    cairo_font_options_t* Options = cairo_font_options_create();
    cairo_font_options_set_hint_style(Options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(Options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(Context, Options);
    cairo_font_options_destroy(Options);
    pango_cairo_context_set_resolution(Context, 1440);
    return Context;
}

Integer SpacedHeight(const TRichParaFormat& P, Integer Natural)
{
    switch (P.LineSpacingRule) {
    case 1: return Natural * 3 / 2;
    case 2: return Natural * 2;
    case 3: return std::max(Natural, P.LineSpacing);
    case 4: return std::max(P.LineSpacing, 1);
    case 5: return Integer(Int64(Natural) * std::clamp(P.LineSpacing, 1, 200) / 20);
    default: return Natural;
    }
}

// The lines of paragraph Index laid out in Width twips; Top 0.
std::vector<TRichLine> LayOutParagraph(PangoContext* Context, const TRichDocument& Doc, size_t Index, Integer Width)
{
    const TRichParaFormat& Para = Doc.Paras()[Index].Format;
    const Integer Start = Doc.Paras()[Index].Start;
    const Integer ParaEnd = Doc.ParaEnd(Index);
    const bool Mark = ParaEnd > Start && Doc.Text()[size_t(ParaEnd - 1)] == ParagraphMark;
    const Integer End = Mark ? ParaEnd - 1 : ParaEnd;
    const TParaText P = ParaText(StringView(Doc.Text()).substr(size_t(Start), size_t(End - Start)));

    // Lines after the first start at StartIndent + Offset; the first at
    // StartIndent, or past its bullet.
    Integer Left = Para.StartIndent + Para.Offset;
    Integer First = Para.StartIndent;
    if (Para.Numbering)
        First = Para.Offset > 0 ? Left : Para.StartIndent + BulletGap;
    const Integer Base = std::min(Left, First);
    std::unique_ptr<PangoLayout, TGObject> Layout(pango_layout_new(Context));
    pango_layout_set_text(Layout.get(), P.Utf8.data(), int(P.Utf8.size()));
    pango_layout_set_width(Layout.get(), std::max(Width - Base - Para.RightIndent, 1) * PANGO_SCALE);
    pango_layout_set_wrap(Layout.get(), PANGO_WRAP_WORD_CHAR);
    pango_layout_set_indent(Layout.get(), (First - Left) * PANGO_SCALE);
    pango_layout_set_alignment(Layout.get(),
        Para.Alignment == PFA_RIGHT ? PANGO_ALIGN_RIGHT : Para.Alignment == PFA_CENTER ? PANGO_ALIGN_CENTER : PANGO_ALIGN_LEFT);
    pango_layout_set_justify(Layout.get(), Para.Alignment == PFA_JUSTIFY);
    pango_layout_set_auto_dir(Layout.get(), FALSE);
    {
        PangoTabArray* Tabs = pango_tab_array_new(std::max(Para.TabCount, 1), FALSE);
        for (Integer I = 0; I < Para.TabCount; ++I) {
            const Integer Kind = Para.Tabs[size_t(I)] >> 24 & 0xFF;
            pango_tab_array_set_tab(Tabs, I, PANGO_TAB_LEFT, std::max(Para.TabPosition(I) - Base, 0) * PANGO_SCALE);
            (void)Kind; // pango 1.50 aligns tabs only to the left
        }
        if (!Para.TabCount)
            pango_tab_array_set_tab(Tabs, 0, PANGO_TAB_LEFT, DefaultTab * PANGO_SCALE);
        pango_layout_set_tabs(Layout.get(), Tabs);
        pango_tab_array_free(Tabs);
    }
    std::unique_ptr<PangoAttrList, TAttrList> Attrs(RunAttributes(Doc, Start, End, P));
    pango_layout_set_attributes(Layout.get(), Attrs.get());
    // An empty paragraph is as high as its mark's font.
    if (P.Utf8.empty()) {
        PangoFontDescription* D = pango_font_description_new();
        const TRichCharFormat& F = Doc.CharFormatAt(Start);
        const std::string Family = StringToUTF8(F.FaceName);
        pango_font_description_set_family(D, Family.c_str());
        pango_font_description_set_size(D, int(Int64(F.Height) * PANGO_SCALE / 20));
        pango_layout_set_font_description(Layout.get(), D);
        pango_font_description_free(D);
    }

    std::vector<TRichLine> Lines;
    PangoLayoutIter* Iter = pango_layout_get_iter(Layout.get());
    Integer Y = 0;
    do {
        PangoRectangle Logical;
        pango_layout_iter_get_line_extents(Iter, nullptr, &Logical);
        const PangoLayoutLine* Line = pango_layout_iter_get_line_readonly(Iter);
        TRichLine L;
        L.Start = Start + CharAtByte(P, Line->start_index);
        L.End = Start + CharAtByte(P, Line->start_index + Line->length);
        const Integer Natural = std::max(Logical.height / PANGO_SCALE, 1);
        L.Height = SpacedHeight(Para, Natural);
        L.Ascent = (pango_layout_iter_get_baseline(Iter) - Logical.y) / PANGO_SCALE + (L.Height - Natural);
        L.Top = Y;
        Y += L.Height;
        const bool IsFirst = Lines.empty();
        if (IsFirst && Para.Numbering) {
            L.Bullet = true;
            L.BulletX = Para.StartIndent;
        }
        // Pieces: runs cut at tabs, objects and line breaks.
        for (Integer A = L.Start; A < L.End;) {
            const Char C = Doc.Text()[size_t(A)];
            Integer B = A + 1;
            if (C != u'\t' && C != ObjectMark && C != u'\v') {
                const Integer RunEnd = Doc.RunEnd(Doc.RunIndexAt(A));
                // Each word is placed where the layout put it: the device's
                // hinted font is a little wider or narrower than the layout's,
                // and that must not add up along a line.
                auto Ends = [&](Integer I) {
                    const Char N = Doc.Text()[size_t(I)];
                    return N == u'\t' || N == ObjectMark || N == u'\v' || (N != u' ' && Doc.Text()[size_t(I - 1)] == u' ');
                };
                while (B < L.End && B < RunEnd && !Ends(B))
                    ++B;
            }
            // Positions in the layout, the line's alignment included.
            PangoRectangle Pos;
            pango_layout_index_to_pos(Layout.get(), P.ByteOf[size_t(A - Start)], &Pos);
            const int X1 = Pos.x;
            pango_layout_index_to_pos(Layout.get(), P.ByteOf[size_t(B - Start)], &Pos);
            const int X2 = B == L.End ? Logical.x + Logical.width : Pos.x;
            L.Pieces.push_back({ A, B, Base + X1 / PANGO_SCALE, std::max(X2 - X1, 0) / PANGO_SCALE });
            A = B;
        }
        Lines.push_back(std::move(L));
    } while (pango_layout_iter_next_line(Iter));
    pango_layout_iter_free(Iter);
    if (Mark)
        Lines.back().End = ParaEnd;
    return Lines;
}

}

TRichPage FormatRange(const TRichDocument& Doc, Integer Start, const TRect& Rect, bool TakeOneLine)
{
    TRichPage Page;
    Start = std::clamp(Start, 0, Doc.Length());
    Page.Next = Start;
    Page.Bottom = Rect.Top;
    if (Start >= Doc.Length() || Rect.Width() <= 0)
        return Page;
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    std::unique_ptr<PangoContext, TGObject> Context(TwipsContext());
    Integer Y = Rect.Top;
    for (size_t Index = Doc.ParaIndexAt(Start); Index < Doc.Paras().size(); ++Index) {
        const TRichParaFormat& Para = Doc.Paras()[Index].Format;
        std::vector<TRichLine> Lines = LayOutParagraph(Context.get(), Doc, Index, Rect.Width());
        bool FirstOfPara = true;
        for (TRichLine& L : Lines) {
            if (L.End <= Start)
                continue; // before the range, on a paragraph it starts inside
            const Integer Before = FirstOfPara && L.Start == Doc.Paras()[Index].Start ? Para.SpaceBefore : 0;
            const Integer After = L.End == Doc.ParaEnd(Index) ? Para.SpaceAfter : 0;
            FirstOfPara = false;
            const Integer Top = Y + Before;
            const bool Fits = Top + L.Height <= Rect.Bottom;
            if (!Fits && !(TakeOneLine && Page.Lines.empty()))
                return Page;
            L.Top = Top;
            for (TRichLine::TPiece& Piece : L.Pieces)
                Piece.X += Rect.Left;
            L.BulletX += Rect.Left;
            Y = Top + L.Height + After;
            Page.Bottom = std::min(Top + L.Height, std::max(Rect.Bottom, Top + L.Height));
            Page.Next = L.End;
            Page.Lines.push_back(std::move(L));
            if (!Fits)
                return Page; // the one line a pass must take, cut
        }
    }
    return Page;
}

namespace {

// The canvas font of a format at Dpi.
void SetFont(TFont* Font, const TRichCharFormat& F, Integer Dpi)
{
    Font->SetName(F.FaceName);
    // Whole pixels, rounded down: a glyph a little narrower than the
    // layout's leaves a gap a little wider instead of running into the next word.
    Font->SetHeight(-std::max(1, Integer(Int64(ShownHeight(F)) * Dpi / 1440)));
    TFontStyles Style = 0;
    if (F.Effects & CFE_BOLD)
        Style |= StyleBit(fsBold);
    if (F.Effects & CFE_ITALIC)
        Style |= StyleBit(fsItalic);
    if (F.Effects & (CFE_UNDERLINE | CFE_LINK))
        Style |= StyleBit(fsUnderline);
    if (F.Effects & CFE_STRIKEOUT)
        Style |= StyleBit(fsStrikeOut);
    Font->SetStyle(Style);
    Font->SetColor((F.Effects & CFE_AUTOCOLOR) ? ((F.Effects & CFE_LINK) ? TColor(0xFF0000) : clBlack) : F.TextColor);
    Font->SetQuality(fqAntialiased);
}

}

void DrawRange(TCanvas* Canvas, const TRichDocument& Doc, const TRichPage& Page, Integer DpiX, Integer DpiY,
    const TRect& Clip)
{
    const String& Text = Doc.Text();
    const TBrushStyle OldBrush = Canvas->Brush()->Style();
    const TColor OldColor = Canvas->Brush()->Color();
    std::map<Integer, TOwnedPtr<TGraphic>> Pictures; // decoded once per call
    std::optional<TRegion> OldClip;
    if (Canvas->ClipRegion())
        OldClip = *Canvas->ClipRegion();
    if (!Clip.IsEmpty())
        Canvas->SetClipRect(Clip);
    for (const TRichLine& L : Page.Lines) {
        const Integer Baseline = TwipsToPixels(L.Top + L.Ascent, DpiY);
        if (L.Bullet) {
            const TRichCharFormat& F = Doc.CharFormatAt(L.Start);
            SetFont(Canvas->Font(), F, DpiY);
            Canvas->Brush()->SetStyle(bsClear);
            Canvas->TextOut(TwipsToPixels(L.BulletX, DpiX), Baseline - Canvas->Font()->Metrics().Ascent, u"\u2022");
        }
        for (const TRichLine::TPiece& Piece : L.Pieces) {
            const Char C = Text[size_t(Piece.Start)];
            if (C == ParagraphMark || C == u'\v' || C == u'\t')
                continue;
            const TRichCharFormat& F = Doc.CharFormatAt(Piece.Start);
            if (F.Effects & CFE_HIDDEN)
                continue;
            const Integer X = TwipsToPixels(Piece.X, DpiX);
            if (C == ObjectMark) {
                const Integer Index = Doc.ObjectIndexAt(Piece.Start);
                const TRichPicture& Pic = Doc.Objects()[size_t(Index)].Picture;
                const TRect Box = Rect(X, Baseline - TwipsToPixels(Pic.ShownHeight(), DpiY),
                    X + TwipsToPixels(Pic.ShownWidth(), DpiX), Baseline);
                auto It = Pictures.find(Index);
                if (It == Pictures.end())
                    It = Pictures.emplace(Index, DecodePicture(Pic)).first;
                if (It->second) {
                    Canvas->StretchDraw(Box, It->second.get());
                } else {
                    // A picture that cannot be shown keeps its place as a frame.
                    Canvas->Brush()->SetStyle(bsClear);
                    Canvas->Pen()->SetColor(clGray);
                    Canvas->Rectangle(Box);
                }
                continue;
            }
            SetFont(Canvas->Font(), F, DpiY);
            const Integer Up = TwipsToPixels(Rise(F), DpiY);
            const Integer Top = Baseline - Up - Canvas->Font()->Metrics().Ascent;
            if (!(F.Effects & CFE_AUTOBACKCOLOR)) {
                Canvas->Brush()->SetColor(F.BackColor);
                Canvas->FillRect(Rect(X, TwipsToPixels(L.Top, DpiY), X + TwipsToPixels(Piece.Width, DpiX),
                    TwipsToPixels(L.Top + L.Height, DpiY)));
            }
            Canvas->Brush()->SetStyle(bsClear);
            Canvas->TextOut(X, Top, Text.substr(size_t(Piece.Start), size_t(Piece.End - Piece.Start)));
        }
    }
    if (OldClip)
        Canvas->SetClipRegion(*OldClip);
    else
        Canvas->ResetClip();
    Canvas->Brush()->SetColor(OldColor);
    Canvas->Brush()->SetStyle(OldBrush);
}
