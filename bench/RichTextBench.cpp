// The rich-text engine's hot paths beside what a user would pick instead:
// - a 200 KB RTF made by LibreOffice loaded, laid out page by page and its
//   first page drawn, beside pango laying out and drawing the same text
//   with its attributes (a PangoAttrList) on cairo, and beside
//   "unrtf --text" reading the file;
// - bold toggled over a million characters in ten thousand runs, beside
//   pango changing the same runs' attribute list.
// - 200 table-of-contents panels re-arranged per step of the host's width
//   (each description rendered again at its new width), beside pango
//   laying out and painting the same descriptions on cairo, one surface
//   per panel.
// The ratios (ours / theirs) are printed.
#include "BenchSupport.h"
#include "gdi/Bitmap.h"
#include "gdi/FontSystem.h"
#include "richedit/RichEditor.h"
#include "richedit/RichLayout.h"
#include "richedit/RtfReader.h"
#include "rtl/testing/Testing.h"
#include "rtl/Units.h"
#include "forms/XITOCPanels.h"
#include "vcl/Forms.h"
#include "win/Presenter.h"
#include <benchmark/benchmark.h>

namespace {

constexpr Integer PageWidth = 12240, PageHeight = 15840, Margin = 1134;

// A LibreOffice RTF of about 200 KB: styled paragraphs in three scripts.
const RawBytes& LibreOfficeRtf(Testing::TTempFolder& Folder)
{
    static RawBytes Rtf;
    if (!Rtf.empty())
        return Rtf;
    std::string Html = "<html><head><meta charset=\"utf-8\"></head><body>";
    for (int I = 0; Html.size() < 120000; ++I)
        Html += "<p>Paragraph " + std::to_string(I) + " with <b>bold</b>, <i>italic</i> and <font color=\"#c00000\">red</font> "
            "words, \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 and \xCE\xB3\xCE\xB5\xCE\xB9\xCE\xB1, long enough to wrap.</p>";
    Html += "</body></html>";
    Testing::WriteFileBytes(Folder / "doc.html", Testing::Bytes(Html.begin(), Html.end()));
    Testing::RunTool({ "soffice", "-env:UserInstallation=file://" + (Folder / "profile").string(), "--headless",
                         "--infilter=HTML (StarWriter)", "--convert-to", "rtf", "--outdir", Folder.Path().string(),
                         (Folder / "doc.html").string() },
        Folder.Path());
    const Testing::Bytes B = Testing::ReadFileBytes(Folder / "doc.rtf");
    Rtf.assign(B.begin(), B.end());
    return Rtf;
}

// Pango's own way: the text with one attribute list, laid out at the page's
// width and its first page drawn on a cairo image.
void PangoPage(const TRichDocument& Doc)
{
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    PangoContext* Context = FontSystem::NewContext(fqAntialiased);
    PangoLayout* Layout = pango_layout_new(Context);
    const std::string Text = StringToUTF8(Doc.Text());
    pango_layout_set_text(Layout, Text.data(), int(Text.size()));
    PangoAttrList* Attrs = pango_attr_list_new();
    size_t Byte = 0;
    for (size_t R = 0; R < Doc.Runs().size(); ++R) {
        const TRichCharFormat& F = Doc.Runs()[R].Format;
        const size_t End = Byte + StringToUTF8(StringView(Doc.Text()).substr(size_t(Doc.Runs()[R].Start),
                                      size_t(Doc.RunEnd(R) - Doc.Runs()[R].Start))).size();
        for (PangoAttribute* A : { pango_attr_weight_new(F.Effects & CFE_BOLD ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL),
                 pango_attr_size_new(F.Height * PANGO_SCALE / 20),
                 pango_attr_foreground_new(guint16((F.TextColor & 0xFF) * 257), guint16((F.TextColor >> 8 & 0xFF) * 257),
                     guint16((F.TextColor >> 16 & 0xFF) * 257)) }) {
            A->start_index = guint(Byte);
            A->end_index = guint(End);
            pango_attr_list_insert(Attrs, A);
        }
        Byte = End;
    }
    pango_layout_set_attributes(Layout, Attrs);
    pango_attr_list_unref(Attrs);
    pango_layout_set_width(Layout, (PageWidth - 2 * Margin) * 96 / 1440 * PANGO_SCALE);
    pango_layout_set_wrap(Layout, PANGO_WRAP_WORD_CHAR);
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, PageWidth * 96 / 1440, PageHeight * 96 / 1440);
    cairo_t* Cr = cairo_create(Surface);
    cairo_rectangle(Cr, 0, 0, PageWidth * 96 / 1440, PageHeight * 96 / 1440);
    cairo_clip(Cr);
    pango_layout_get_pixel_size(Layout, nullptr, nullptr); // the whole text laid out, as ours is
    pango_cairo_show_layout(Cr, Layout);
    cairo_destroy(Cr);
    cairo_surface_destroy(Surface);
    g_object_unref(Layout);
    g_object_unref(Context);
}

void BM_LoadLayOutRender(benchmark::State& State)
{
    Testing::TTempFolder Folder("rich-bench");
    const RawBytes& Rtf = LibreOfficeRtf(Folder);
    if (Rtf.empty()) {
        State.SkipWithError("soffice is needed");
        return;
    }
    Testing::WriteFileBytes(Folder / "doc.rtf", Testing::Bytes(Rtf.begin(), Rtf.end()));
    TRichDocument Loaded;
    ReadRtf(Rtf, Loaded);
    XBench::TRatios Ratios;
    Integer Pages = 0;
    for (auto _ : State) {
        const double Ours = XBench::Timed([&] {
            TRichDocument Doc;
            ReadRtf(Rtf, Doc);
            TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
            Bmp->SetSize(PageWidth * 96 / 1440, PageHeight * 96 / 1440);
            const TRect Body = Rect(Margin, Margin, PageWidth - Margin, PageHeight - Margin);
            Pages = 0;
            for (Integer Next = 0; Next < Doc.Length(); ++Pages) {
                const TRichPage Page = FormatRange(Doc, Next, Body, true);
                if (Pages == 0)
                    DrawRange(Bmp->Canvas(), Doc, Page, 96, 96);
                Next = Page.Next;
            }
        });
        const double Pango = XBench::Timed([&] { PangoPage(Loaded); });
        const double Unrtf = XBench::Timed([&] { Testing::RunTool({ "unrtf", "--text", (Folder / "doc.rtf").string() }); });
        Ratios.Add("ours / pango with attributes", Ours / Pango);
        Ratios.Add("ours / unrtf --text", Ours / Unrtf);
        State.SetIterationTime(Ours);
    }
    std::printf("%zu bytes of RTF, %d pages\n", Rtf.size(), Pages);
    Ratios.Print();
}
BENCHMARK(BM_LoadLayOutRender)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ToggleBold(benchmark::State& State)
{
    TRichDocument Doc;
    TRichCharFormat F;
    for (Integer I = 0; I < 10000; ++I) {
        F.Height = 200 + (I % 2) * 20;
        Doc.Append(String(100, u'x'), F);
    }
    XBench::TRatios Ratios;
    for (auto _ : State) {
        TRichEditor Ed;
        Ed.SetDocument(Doc);
        Ed.SetSel(0, Doc.Length());
        const double Ours = XBench::Timed([&] { Ed.ToggleSelStyle(CFE_BOLD); });
        PangoAttrList* Attrs = pango_attr_list_new();
        for (Integer I = 0; I < 10000; ++I) {
            PangoAttribute* A = pango_attr_size_new((200 + (I % 2) * 20) * PANGO_SCALE / 20);
            A->start_index = guint(I * 100);
            A->end_index = guint(I * 100 + 100);
            pango_attr_list_insert(Attrs, A);
        }
        const double Pango = XBench::Timed([&] {
            PangoAttribute* Bold = pango_attr_weight_new(PANGO_WEIGHT_BOLD);
            Bold->start_index = 0;
            Bold->end_index = guint(Doc.Length());
            pango_attr_list_change(Attrs, Bold);
        });
        pango_attr_list_unref(Attrs);
        Ratios.Add("ours / pango_attr_list_change", Ours / Pango);
        State.SetIterationTime(Ours);
    }
    Ratios.Print();
}
BENCHMARK(BM_ToggleBold)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

constexpr int TocPanelCount = 200;
constexpr int TocSteps = 10;

String TocDescription(int I)
{
    return u"{\\rtf1 Pack " + S(std::to_string(I)) + u": {\\b winter} pictures of mountains, lakes and "
        u"{\\i snowy} forests, forty in all, for every month of the year.}";
}

// The reference: each description's text laid out by pango at the panel's
// text width and painted on a cairo surface of its own.
void PangoTocStep(int TextWidth)
{
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    PangoContext* Context = FontSystem::NewContext(fqAntialiased);
    for (int I = 0; I < TocPanelCount; ++I) {
        PangoLayout* Layout = pango_layout_new(Context);
        const std::string Markup = "Pack " + std::to_string(I) +
            ": <b>winter</b> pictures of mountains, lakes and <i>snowy</i> forests, forty in all, for every month of "
            "the year.";
        pango_layout_set_markup(Layout, Markup.data(), int(Markup.size()));
        pango_layout_set_width(Layout, TextWidth * PANGO_SCALE);
        int W = 0, H = 0;
        pango_layout_get_pixel_size(Layout, &W, &H);
        cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, TextWidth, std::max(H, 1));
        cairo_t* Cr = cairo_create(Surface);
        cairo_set_source_rgb(Cr, 1, 1, 1);
        cairo_paint(Cr);
        cairo_set_source_rgb(Cr, 0, 0, 0);
        pango_cairo_show_layout(Cr, Layout);
        cairo_destroy(Cr);
        cairo_surface_destroy(Surface);
        g_object_unref(Layout);
    }
    g_object_unref(Context);
}

void BM_TocPanelsResize(benchmark::State& State)
{
    THeadlessPresenter Screen;
    TOwnedPtr<TXTocCollection> Toc(New<TXTocCollection>(static_cast<TPersistent*>(nullptr)));
    TOwnedPtr<TXTocGroupCollection> Groups(New<TXTocGroupCollection>(static_cast<TPersistent*>(nullptr)));
    for (int I = 0; I < TocPanelCount; ++I) {
        TXTocItem* Item = Toc->Add();
        Item->SetDisplayName(u"pack" + S(std::to_string(1000 + I)));
        Item->Rtf()->SetText(9, TocDescription(I));
        TXTocActionItem* A = Item->Actions()->Add();
        A->SetDisplayName(u"download");
        A->Caption()->SetText(9, u"Download");
    }
    TForm* Form = New<TForm>(nullptr);
    Form->SetBounds(0, 0, 600, 400);
    auto* Panels = New<TXITocPanels>(Form);
    Panels->SetHost(Form);
    Panels->SetColumns(1);
    Panels->SetFullWidth(true);
    FillTocPanels(Panels, Toc.get(), Groups.get(), nullptr, nullptr, false);
    XBench::TRatios Ratios;
    int Width = 600;
    for (auto _ : State) {
        const double Ours = XBench::Timed([&] {
            for (int Step = 0; Step < TocSteps; ++Step) {
                Form->SetWidth(++Width);
                Panels->UpdateFullWidth();
                Panels->Relayout();
            }
        });
        const int TextWidth = Form->ClientWidth() - 10 - 12;
        const double Pango = XBench::Timed([&] {
            for (int Step = 0; Step < TocSteps; ++Step)
                PangoTocStep(TextWidth + Step);
        });
        Ratios.Add("200 TOC panels per resize step: ours / pango on cairo", Ours / Pango);
        State.SetIterationTime(Ours);
    }
    Form->Free();
    Ratios.Print();
}
BENCHMARK(BM_TocPanelsResize)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    FinalizeUnits();
    return 0;
}
