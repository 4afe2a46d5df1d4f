// Text on the canvas: TextOut, TextExtent and DrawText laid out by pango
// and drawn as coverage masks through the canvas's clip.
#include "gdi/Canvas.h"
#include "gdi/FontSystem.h"
#include <algorithm>
#include <vector>

namespace {

using FontSystem::TextWidth;

// One line ready to draw: its text, where its cell starts, and the byte
// range of the mnemonic character to underline (none when Length is 0).
struct TPlacedLine {
    std::string Text;
    Integer X = 0;
    Integer Top = 0;
    int UnderlineStart = 0;
    int UnderlineLength = 0;
};

struct TDrawOptions {
    bool RightToLeft = false;
    int TabWidth = 0; // pixels between tab stops; 0 leaves pango's
};

// Draws the lines' glyphs into an 8-bit coverage mask over Box and hands
// it to Paint. Box is already cut to what may be seen.
template<class F>
void RenderLines(const TFont* Font, const std::vector<TPlacedLine>& Lines, const TRect& Box,
    const TDrawOptions& Options, Integer Ascent, F&& Paint)
{
    if (Box.IsEmpty() || Lines.empty())
        return;
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_A8, Box.Width(), Box.Height());
    if (cairo_surface_status(Surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(Surface);
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
        PangoContext* Context = FontSystem::NewContext(Font->Quality(), Options.RightToLeft);
        cairo_t* Cr = cairo_create(Surface);
        cairo_set_antialias(Cr, FontSystem::Antialias(Font->Quality()));
        cairo_translate(Cr, -Box.Left, -Box.Top);
        cairo_set_source_rgba(Cr, 0, 0, 0, 1);
        for (const TPlacedLine& L : Lines) {
            if (L.Text.empty())
                continue;
            PangoLayout* Layout = FontSystem::NewLayout(Context, Font, L.Text);
            if (Options.TabWidth > 0) {
                PangoTabArray* Tabs = pango_tab_array_new_with_positions(1, TRUE, PANGO_TAB_LEFT, Options.TabWidth);
                pango_layout_set_tabs(Layout, Tabs);
                pango_tab_array_free(Tabs);
            }
            if (L.UnderlineLength > 0) {
                PangoAttrList* Attrs = pango_layout_get_attributes(Layout);
                Attrs = Attrs ? pango_attr_list_copy(Attrs) : pango_attr_list_new();
                PangoAttribute* U = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
                U->start_index = guint(L.UnderlineStart);
                U->end_index = guint(L.UnderlineStart + L.UnderlineLength);
                pango_attr_list_insert(Attrs, U);
                pango_layout_set_attributes(Layout, Attrs);
                pango_attr_list_unref(Attrs);
            }
            // The layout's own baseline sits on the font's.
            const double Baseline = double(pango_layout_get_baseline(Layout)) / PANGO_SCALE;
            cairo_move_to(Cr, L.X, double(L.Top + Ascent) - Baseline);
            pango_cairo_show_layout(Cr, Layout);
            g_object_unref(Layout);
        }
        cairo_destroy(Cr);
        g_object_unref(Context);
    }
    cairo_surface_flush(Surface);
    Paint(cairo_image_surface_get_data(Surface), Integer(cairo_image_surface_get_stride(Surface)));
    cairo_surface_destroy(Surface);
}

TRect Intersect(const TRect& A, const TRect& B)
{
    TRect R = Rect(std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
        std::min(A.Bottom, B.Bottom));
    return R.IsEmpty() ? TRect {} : R;
}

Integer Clamp32(Int64 V)
{
    return Integer(std::clamp<Int64>(V, INT32_MIN, INT32_MAX));
}

// Byte offsets where a UTF-8 character starts, and the end.
std::vector<size_t> CharStarts(const std::string& S)
{
    std::vector<size_t> Starts;
    for (size_t I = 0; I < S.size(); ++I)
        if ((Byte(S[I]) & 0xC0) != 0x80)
            Starts.push_back(I);
    Starts.push_back(S.size());
    return Starts;
}

// The longest candidate Make(k) (k from 0 to Count) that fits Width; widths
// grow with k. Answers the k found (0 when even the shortest is too wide).
template<class F>
size_t LongestFitting(size_t Count, Integer Width, F&& Make, PangoContext* Context, const TFont* Font)
{
    size_t Lo = 0, Hi = Count;
    while (Lo < Hi) {
        const size_t Mid = (Lo + Hi + 1) / 2;
        if (TextWidth(Context, Font, Make(Mid)) <= Width)
            Lo = Mid;
        else
            Hi = Mid - 1;
    }
    return Lo;
}

const std::string Dots = "...";

std::string EndEllipsis(const std::string& S, Integer Width, PangoContext* Context, const TFont* Font)
{
    const std::vector<size_t> Starts = CharStarts(S);
    const size_t K = LongestFitting(
        Starts.size() - 1, Width, [&](size_t N) { return S.substr(0, Starts[N]) + Dots; }, Context, Font);
    return S.substr(0, Starts[K]) + Dots;
}

std::string WordEllipsis(const std::string& S, Integer Width, PangoContext* Context, const TFont* Font)
{
    // Cut only where a word ends (before a blank); without such a place
    // the word itself is cut.
    std::vector<size_t> Ends;
    for (size_t I = 1; I < S.size(); ++I)
        if ((S[I] == ' ' || S[I] == '\t') && S[I - 1] != ' ' && S[I - 1] != '\t')
            Ends.push_back(I);
    if (Ends.empty() || TextWidth(Context, Font, S.substr(0, Ends[0]) + Dots) > Width)
        return EndEllipsis(S, Width, Context, Font);
    const size_t K = LongestFitting(
        Ends.size() - 1, Width, [&](size_t N) { return S.substr(0, Ends[N]) + Dots; }, Context, Font);
    return S.substr(0, Ends[K]) + Dots;
}

std::string PathEllipsis(const std::string& S, Integer Width, PangoContext* Context, const TFont* Font)
{
    // The dots replace the end of the folders, so the file name stays.
    const size_t Sep = S.find_last_of("\\/");
    if (Sep == std::string::npos || Sep == 0)
        return EndEllipsis(S, Width, Context, Font);
    const std::string Head = S.substr(0, Sep), Tail = S.substr(Sep);
    const std::vector<size_t> Starts = CharStarts(Head);
    auto Make = [&](size_t N) { return Head.substr(0, Starts[N]) + Dots + Tail; };
    if (TextWidth(Context, Font, Make(0)) > Width)
        return EndEllipsis(Dots + Tail, Width, Context, Font);
    return Make(LongestFitting(Starts.size() - 1, Width, Make, Context, Font));
}

// Removes the mnemonic marks: "&&" stands for "&", "&x" underlines x.
std::string StripPrefixes(const std::string& S, int& UnderlineAt, int& UnderlineLength)
{
    std::string Out;
    UnderlineAt = -1;
    UnderlineLength = 0;
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] != '&' || I + 1 >= S.size()) {
            Out += S[I];
            continue;
        }
        ++I;
        if (S[I] != '&' && UnderlineAt < 0) {
            UnderlineAt = int(Out.size());
            size_t End = I + 1;
            while (End < S.size() && (Byte(S[End]) & 0xC0) == 0x80)
                ++End;
            UnderlineLength = int(End - I);
        }
        Out += S[I];
    }
    return Out;
}

struct TSourceLine {
    std::string Text;
    int Start = 0; // byte offset in the whole stripped text; -1 once ellipsized
};

// Splits at CR LF, CR or LF.
std::vector<TSourceLine> Paragraphs(const std::string& S)
{
    std::vector<TSourceLine> Out;
    size_t Begin = 0;
    for (size_t I = 0; I <= S.size(); ++I) {
        if (I == S.size() || S[I] == '\r' || S[I] == '\n') {
            Out.push_back({ S.substr(Begin, I - Begin), int(Begin) });
            if (I < S.size() && S[I] == '\r' && I + 1 < S.size() && S[I + 1] == '\n')
                ++I;
            Begin = I + 1;
        }
    }
    return Out;
}

} // namespace

TSize TCanvas::TextExtent(const String& Text) const
{
    const TFontMetrics M = FFont->Metrics();
    FFont->Description();
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    PangoContext* Context = FontSystem::NewContext(FFont->Quality());
    const Integer W = FontSystem::TextWidth(Context, FFont.get(), StringToUTF8(Text));
    g_object_unref(Context);
    return { W, M.Height() };
}

void TCanvas::TextOut(Integer X, Integer Y, const String& Text)
{
    const TSize Extent = TextExtent(Text);
    const Int64 Right = Int64(X) + Extent.cx;
    if (FBrush->Style() != bsClear && FBitmap)
        FillRect(Rect(X, Y, Clamp32(Right), Clamp32(Int64(Y) + Extent.cy)));
    FPenPos = Point(Clamp32(Right), Y);
    if (!FBitmap || Text.empty())
        return;
    // Ink may reach past the cell (italic overhangs, accents): allow an em.
    const Int64 Margin = Int64(FFont->EmPixels()) + 1;
    const TRect Box = Intersect(Bounds(),
        Rect(Clamp32(X - Margin), Clamp32(Y - Margin), Clamp32(Right + Margin),
            Clamp32(Int64(Y) + Extent.cy + Margin)));
    const std::vector<TPlacedLine> Lines { { StringToUTF8(Text), X, Y } };
    RenderLines(FFont.get(), Lines, Box, {}, FFont->Metrics().Ascent,
        [&](const Byte* Mask, Integer Stride) { PaintCoverage(Box, Mask, Stride, FFont->Color()); });
}

Integer TCanvas::DrawText(const String& Text, TRect& R, Cardinal Format)
{
    const TFontMetrics M = FFont->Metrics();
    const Integer LineHeight = M.Height() + (Format & DT_EXTERNALLEADING ? M.ExternalLeading : 0);
    const bool Single = Format & DT_SINGLELINE;
    const Integer Width = Clamp32(std::max<Int64>(0, Int64(R.Right) - R.Left));

    int UnderlineAt = -1, UnderlineLength = 0;
    std::string Utf8 = StringToUTF8(Text);
    if (!(Format & DT_NOPREFIX))
        Utf8 = StripPrefixes(Utf8, UnderlineAt, UnderlineLength);

    TDrawOptions Options;
    Options.RightToLeft = Format & DT_RTLREADING;
    if (Format & DT_EXPANDTABS)
        Options.TabWidth = 8 * std::max(1, M.AveCharWidth);

    FFont->Description();
    std::vector<TSourceLine> Lines;
    std::vector<Integer> Widths;
    {
        std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
        PangoContext* Context = FontSystem::NewContext(FFont->Quality(), Options.RightToLeft);
        auto Measure = [&](const std::string& S) {
            if (S.empty())
                return 0;
            PangoLayout* Layout = FontSystem::NewLayout(Context, FFont.get(), S);
            if (Options.TabWidth > 0) {
                PangoTabArray* Tabs = pango_tab_array_new_with_positions(1, TRUE, PANGO_TAB_LEFT, Options.TabWidth);
                pango_layout_set_tabs(Layout, Tabs);
                pango_tab_array_free(Tabs);
            }
            PangoRectangle Logical;
            pango_layout_get_pixel_extents(Layout, nullptr, &Logical);
            g_object_unref(Layout);
            return Logical.width;
        };
        const std::vector<TSourceLine> Source = Single ? std::vector<TSourceLine> { { Utf8, 0 } } : Paragraphs(Utf8);
        for (const TSourceLine& P : Source) {
            if (!(Format & DT_WORDBREAK) || Single || P.Text.empty() || Measure(P.Text) <= Width) {
                Lines.push_back(P);
                continue;
            }
            // Lines broken between words where the rectangle ends.
            PangoLayout* Layout = FontSystem::NewLayout(Context, FFont.get(), P.Text);
            pango_layout_set_width(Layout, std::clamp(Width, 1, INT32_MAX / PANGO_SCALE) * PANGO_SCALE);
            pango_layout_set_wrap(Layout, PANGO_WRAP_WORD);
            for (GSList* L = pango_layout_get_lines_readonly(Layout); L; L = L->next) {
                const auto* Line = static_cast<PangoLayoutLine*>(L->data);
                std::string Piece = P.Text.substr(size_t(Line->start_index), size_t(Line->length));
                // The blanks where a line was broken are not drawn.
                while (!Piece.empty() && (Piece.back() == ' ' || Piece.back() == '\t'))
                    Piece.pop_back();
                Lines.push_back({ Piece, P.Start + Line->start_index });
            }
            g_object_unref(Layout);
        }
        for (TSourceLine& L : Lines) {
            Integer W = Measure(L.Text);
            if (W > Width && (Format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))) {
                if (Format & DT_PATH_ELLIPSIS)
                    L.Text = PathEllipsis(L.Text, Width, Context, FFont.get());
                else if (Format & DT_WORD_ELLIPSIS)
                    L.Text = WordEllipsis(L.Text, Width, Context, FFont.get());
                else
                    L.Text = EndEllipsis(L.Text, Width, Context, FFont.get());
                L.Start = -1;
                W = Measure(L.Text);
            }
            Widths.push_back(W);
        }
        g_object_unref(Context);
    }

    const Int64 TextHeight = Int64(LineHeight) * Int64(Lines.size());
    Int64 Top = R.Top;
    if (Single && (Format & DT_VCENTER))
        Top = R.Top + (Int64(R.Bottom) - R.Top - LineHeight) / 2;
    else if (Single && (Format & DT_BOTTOM))
        Top = Int64(R.Bottom) - LineHeight;
    const Integer Result =
        Clamp32(Single && (Format & (DT_VCENTER | DT_BOTTOM)) ? Top - R.Top + TextHeight : TextHeight);

    if (Format & DT_CALCRECT) {
        const Integer Widest = Widths.empty() ? 0 : *std::max_element(Widths.begin(), Widths.end());
        R.Right = Clamp32(Int64(R.Left) + Widest);
        R.Bottom = Clamp32(Int64(R.Top) + TextHeight);
        return Result;
    }
    if (!FBitmap)
        return Result;

    std::vector<TPlacedLine> Placed;
    const Int64 RectWidth = Int64(R.Right) - R.Left;
    for (size_t I = 0; I < Lines.size(); ++I) {
        TPlacedLine P;
        P.Text = Lines[I].Text;
        Int64 X = R.Left;
        if (Format & DT_CENTER)
            X = R.Left + (RectWidth - Widths[I]) / 2;
        else if (Format & DT_RIGHT)
            X = Int64(R.Right) - Widths[I];
        P.X = Clamp32(X);
        P.Top = Clamp32(Top + Int64(I) * LineHeight);
        if (UnderlineAt >= 0 && Lines[I].Start >= 0 && UnderlineAt >= Lines[I].Start &&
            UnderlineAt < Lines[I].Start + int(P.Text.size())) {
            P.UnderlineStart = UnderlineAt - Lines[I].Start;
            P.UnderlineLength = UnderlineLength;
        }
        if (FBrush->Style() != bsClear)
            FillRect(Rect(P.X, P.Top, Clamp32(Int64(P.X) + Widths[I]), Clamp32(Int64(P.Top) + LineHeight)));
        Placed.push_back(std::move(P));
    }
    TRect Box = Bounds();
    if (!(Format & DT_NOCLIP))
        Box = Intersect(Box, R);
    else if (!Placed.empty()) {
        const Int64 Margin = Int64(FFont->EmPixels()) + 1;
        Integer Widest = *std::max_element(Widths.begin(), Widths.end());
        Box = Intersect(Box,
            Rect(Clamp32(Int64(R.Left) - Widest - Margin), Clamp32(Top - Margin),
                Clamp32(Int64(R.Right) + Widest + Margin), Clamp32(Top + TextHeight + Margin)));
    }
    RenderLines(FFont.get(), Placed, Box, Options, M.Ascent,
        [&](const Byte* Mask, Integer Stride) { PaintCoverage(Box, Mask, Stride, FFont->Color()); });
    return Result;
}
