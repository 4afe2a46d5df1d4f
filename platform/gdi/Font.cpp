#include "gdi/Font.h"
#include "gdi/Colors.h"
#include "gdi/FontSystem.h"
#include "rtl/Units.h"
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <pango/pangofc-fontmap.h>

X_REGISTER_CLASS(TFont)

X_PUBLISHED(TFont)
{
    X_PROP(Charset, Charset, SetCharset).Default(1);
    X_PROP(Color, Color, SetColor).Type(ColorTypeInfo());
    X_PROP(Height, Height, SetHeight);
    X_PROP(Name, Name, SetName);
    X_PROP_SET(Style, TFontStyle, Style, SetStyle).Default(0);
}

namespace FontSystem {

namespace {

const char* const BuiltInConfig =
#include "FontsConf.inc"
    ;

} // namespace

std::recursive_mutex& Lock()
{
    static std::recursive_mutex M;
    return M;
}

namespace {

PangoFontMap* TheFontMap = nullptr;

// The font map goes at the end with everything fontconfig and cairo keep
// for it, so the process ends with nothing of them left behind.
void DoneFonts()
{
    std::lock_guard<std::recursive_mutex> Guard(Lock());
    if (!TheFontMap)
        return;
    pango_fc_font_map_shutdown(PANGO_FC_FONT_MAP(TheFontMap));
    g_object_unref(TheFontMap);
    TheFontMap = nullptr;
    cairo_debug_reset_static_data();
}

} // namespace

X_UNIT(Gdi_Fonts, "Gdi.Fonts", {}, nullptr, &DoneFonts)

PangoFontMap* FontMap()
{
    std::lock_guard<std::recursive_mutex> Guard(Lock());
    if (!TheFontMap) {
        FcConfig* Config = FcConfigCreate();
        // A configuration that fails to parse leaves an empty one: text
        // then draws nothing rather than with the machine's own rules.
        FcConfigParseAndLoadFromMemory(Config, reinterpret_cast<const FcChar8*>(BuiltInConfig), FcTrue);
        FcConfigBuildFonts(Config);
        TheFontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(TheFontMap), Config);
        FcConfigDestroy(Config);
    }
    return TheFontMap;
}

cairo_antialias_t Antialias(TFontQuality Quality)
{
    return Quality == fqNonAntialiased ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY;
}

PangoContext* NewContext(TFontQuality Quality, bool RightToLeft)
{
    PangoContext* Context = pango_font_map_create_context(FontMap());
    cairo_font_options_t* Options = cairo_font_options_create();
    cairo_font_options_set_antialias(Options, Antialias(Quality));
    cairo_font_options_set_hint_style(Options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(Options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_subpixel_order(Options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    pango_cairo_context_set_font_options(Context, Options);
    cairo_font_options_destroy(Options);
    pango_cairo_context_set_resolution(Context, ScreenPixelsPerInch);
    pango_context_set_round_glyph_positions(Context, TRUE);
    pango_context_set_base_dir(Context, RightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
    return Context;
}

PangoLayout* NewLayout(PangoContext* Context, const TFont* Font, const std::string& Text)
{
    PangoLayout* Layout = pango_layout_new(Context);
    pango_layout_set_auto_dir(Layout, FALSE);
    pango_layout_set_single_paragraph_mode(Layout, TRUE);
    pango_layout_set_font_description(Layout, static_cast<PangoFontDescription*>(Font->Description()));
    pango_layout_set_text(Layout, Text.data(), int(Text.size()));
    if (Font->Style() & (StyleBit(fsUnderline) | StyleBit(fsStrikeOut))) {
        PangoAttrList* Attrs = pango_attr_list_new();
        if (Font->Style() & StyleBit(fsUnderline))
            pango_attr_list_insert(Attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (Font->Style() & StyleBit(fsStrikeOut))
            pango_attr_list_insert(Attrs, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(Layout, Attrs);
        pango_attr_list_unref(Attrs);
    }
    return Layout;
}

Integer TextWidth(PangoContext* Context, const TFont* Font, const std::string& Text)
{
    if (Text.empty())
        return 0;
    PangoLayout* Layout = NewLayout(Context, Font, Text);
    PangoRectangle Logical;
    pango_layout_get_pixel_extents(Layout, nullptr, &Logical);
    g_object_unref(Layout);
    return Logical.width;
}

} // namespace FontSystem

namespace {

// Metrics of the face the description resolves to, in pango units.
struct TRawMetrics {
    int Ascent = 0, Descent = 0, Height = 0, CharWidth = 0;
};

TRawMetrics RawMetrics(PangoFontDescription* Description)
{
    TRawMetrics M;
    PangoContext* Context = FontSystem::NewContext(fqDefault);
    if (PangoFont* Font = pango_font_map_load_font(FontSystem::FontMap(), Context, Description)) {
        PangoFontMetrics* Metrics = pango_font_get_metrics(Font, nullptr);
        M.Ascent = pango_font_metrics_get_ascent(Metrics);
        M.Descent = pango_font_metrics_get_descent(Metrics);
        M.Height = pango_font_metrics_get_height(Metrics);
        M.CharWidth = pango_font_metrics_get_approximate_char_width(Metrics);
        pango_font_metrics_unref(Metrics);
        g_object_unref(Font);
    }
    g_object_unref(Context);
    return M;
}

PangoFontDescription* NewDescription(const String& Name, TFontStyles Style, double Em)
{
    PangoFontDescription* D = pango_font_description_new();
    const std::string Family = StringToUTF8(Name);
    // A comma would start a list of families in pango's syntax.
    pango_font_description_set_family(D, Family.find(',') == std::string::npos ? Family.c_str() : "DejaVu Sans");
    pango_font_description_set_weight(D, Style & StyleBit(fsBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(D, Style & StyleBit(fsItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(D, Em * PANGO_SCALE);
    return D;
}

} // namespace

TFont::~TFont()
{
    Changed();
}

void TFont::Changed()
{
    if (FDescription)
        pango_font_description_free(static_cast<PangoFontDescription*>(FDescription));
    FDescription = nullptr;
    FEm = 0;
}

void TFont::SetName(const String& Value)
{
    if (Value != FName) {
        FName = Value;
        Changed();
    }
}

void TFont::SetHeight(Integer Value)
{
    if (Value != FHeight) {
        FHeight = Value;
        Changed();
    }
}

Integer TFont::Size() const
{
    // Points from pixels at 96 dpi, rounded as MulDiv rounds.
    const Int64 Pixels = FHeight;
    const Int64 Points = (std::llabs(Pixels) * 72 + ScreenPixelsPerInch / 2) / ScreenPixelsPerInch;
    return Integer(Pixels < 0 ? Points : -Points);
}

void TFont::SetSize(Integer Value)
{
    const Int64 Pixels = (std::llabs(Int64(Value)) * ScreenPixelsPerInch + 36) / 72;
    SetHeight(Integer(Value < 0 ? Pixels : -Pixels));
}

void TFont::SetStyle(TFontStyles Value)
{
    if (Value != FStyle) {
        FStyle = Value;
        Changed();
    }
}

void TFont::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TFont>(Source)) {
        SetName(Other->FName);
        SetHeight(Other->FHeight);
        SetStyle(Other->FStyle);
        FColor = Other->FColor;
        FQuality = Other->FQuality;
        FCharset = Other->FCharset;
        return;
    }
    inherited::Assign(Source);
}

double TFont::EmPixels() const
{
    if (FEm > 0)
        return FEm;
    // Beyond any screen text, so a height from data costs nothing more.
    constexpr double MaxEm = 4096;
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    if (FHeight < 0) {
        FEm = std::min<double>(-double(FHeight), MaxEm);
    } else {
        // A cell height: scale the em so ascent + descent fill it. A height
        // of 0 is the system's default cell of 16 pixels.
        const double Cell = FHeight == 0 ? 16 : std::min<double>(FHeight, MaxEm);
        PangoFontDescription* Probe = NewDescription(FName, FStyle, 1000);
        const TRawMetrics M = RawMetrics(Probe);
        pango_font_description_free(Probe);
        const double ProbeCell = double(M.Ascent + M.Descent) / PANGO_SCALE;
        FEm = ProbeCell > 0 ? std::max(1.0, std::round(Cell * 1000 / ProbeCell)) : Cell;
    }
    if (FEm < 1)
        FEm = 1;
    return FEm;
}

void* TFont::Description() const
{
    if (!FDescription) {
        const double Em = EmPixels();
        FDescription = NewDescription(FName, FStyle, Em);
    }
    return FDescription;
}

TFontMetrics TFont::Metrics() const
{
    auto* D = static_cast<PangoFontDescription*>(Description());
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    const TRawMetrics M = RawMetrics(D);
    TFontMetrics R;
    R.Ascent = PANGO_PIXELS(M.Ascent);
    R.Descent = PANGO_PIXELS(M.Descent);
    R.ExternalLeading = std::max(0, PANGO_PIXELS(M.Height) - R.Ascent - R.Descent);
    R.AveCharWidth = PANGO_PIXELS(M.CharWidth);
    return R;
}

String TFont::ResolvedFamily() const
{
    auto* D = static_cast<PangoFontDescription*>(Description());
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    String Result;
    PangoContext* Context = FontSystem::NewContext(fqDefault);
    if (PangoFont* Font = pango_font_map_load_font(FontSystem::FontMap(), Context, D)) {
        PangoFontDescription* Got = pango_font_describe(Font);
        if (const char* Family = pango_font_description_get_family(Got))
            Result = UTF8ToString(Family);
        pango_font_description_free(Got);
        g_object_unref(Font);
    }
    g_object_unref(Context);
    return Result;
}
