// The user-interface platform's hot paths, each beside what a program
// would do with plain tools, ratios printed:
// - repainting a form of 200 controls (100 windowed, 100 graphic, each a
//   filled rectangle with a caption) and composing its picture, beside
//   cairo and pango drawing the same rectangles and texts on one surface;
// - 1 million messages posted, taken and dispatched to a window, beside a
//   mutex-and-deque queue of calls;
// - hit tests over the form (the window under a point, then its graphic
//   control), beside a linear scan of the same rectangles;
// - scrolling a 400 x 300 form over a child of 4000 x 100,000 pixels by
//   steps of 7 rows (the pixels there move, the strip uncovered paints
//   row by row), beside a cairo surface of the visible area scrolled onto
//   itself with the same rows filled.
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include "win/WindowTree.h"
#include <algorithm>
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <pango/pangocairo.h>
#include <random>

namespace {

XBench::TRatios Ratios;

double Seconds(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

class TBenchPanel : public TCustomControl {
    X_CLASS_TEMPLATE(TBenchPanel, TCustomControl, u"TBenchPanel")
protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(FColor);
        Canvas()->FillRect(ClientRect());
        Canvas()->Brush()->SetStyle(bsClear);
        Canvas()->TextOut(3, 3, FText);
    }
};

class TBenchShape : public TGraphicControl {
    X_CLASS_TEMPLATE(TBenchShape, TGraphicControl, u"TBenchShape")
protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(FColor);
        Canvas()->FillRect(ClientRect());
        Canvas()->Brush()->SetStyle(bsClear);
        Canvas()->TextOut(3, 3, FText);
    }
};

constexpr Integer Columns = 20, Rows = 10, CellW = 40, CellH = 60;

// 200 controls on a 800 x 600 form: each cell holds a windowed control in
// its top half and a graphic one in its bottom half.
struct TBenchForm {
    TForm* Form = nullptr;
    std::vector<TRect> Rects;
    std::vector<String> Texts;
    std::vector<TColor> Colors;

    TBenchForm()
    {
        Form = New<TForm>(nullptr);
        Form->SetBounds(0, 0, Columns * CellW, Rows * CellH);
        for (Integer Y = 0; Y < Rows; ++Y)
            for (Integer X = 0; X < Columns; ++X) {
                const Integer N = Y * Columns + X;
                const TRect Top { X * CellW + 1, Y * CellH + 1, X * CellW + CellW - 1, Y * CellH + CellH / 2 - 1 };
                const TRect Bottom { X * CellW + 1, Y * CellH + CellH / 2 + 1, X * CellW + CellW - 1,
                    Y * CellH + CellH - 1 };
                auto* Panel = New<TBenchPanel>(Form);
                Panel->SetBounds(Top.Left, Top.Top, Top.Width(), Top.Height());
                Panel->SetColor(RGB(Byte(N), 120, Byte(255 - N)));
                Panel->SetCaption(u"P" + String(1, Char(u'0' + N % 10)));
                Panel->SetParent(Form);
                auto* Shape = New<TBenchShape>(Form);
                Shape->SetBounds(Bottom.Left, Bottom.Top, Bottom.Width(), Bottom.Height());
                Shape->SetColor(RGB(200, Byte(N), 90));
                Shape->SetCaption(u"G" + String(1, Char(u'0' + N % 10)));
                Shape->SetParent(Form);
                for (TControl* C : { static_cast<TControl*>(Panel), static_cast<TControl*>(Shape) }) {
                    Rects.push_back(C->BoundsRect());
                    Texts.push_back(C->Caption());
                    Colors.push_back(C->Color());
                }
            }
        Form->Show();
        Application->ProcessMessages();
    }
    ~TBenchForm() { Form->Free(); }
};

TBenchForm* Bench = nullptr;

double RepaintOurs()
{
    const auto Start = std::chrono::steady_clock::now();
    RedrawWindow(Bench->Form->Handle(), nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return Seconds(Start);
}

double RepaintCairo(cairo_surface_t* Surface)
{
    const auto Start = std::chrono::steady_clock::now();
    cairo_t* Cr = cairo_create(Surface);
    cairo_set_source_rgb(Cr, 0.94, 0.94, 0.94);
    cairo_paint(Cr);
    PangoLayout* Layout = pango_cairo_create_layout(Cr);
    PangoFontDescription* Font = pango_font_description_from_string("DejaVu Sans 8");
    pango_layout_set_font_description(Layout, Font);
    for (size_t I = 0; I < Bench->Rects.size(); ++I) {
        const TRect& R = Bench->Rects[I];
        const TColor C = Bench->Colors[I];
        cairo_set_source_rgb(Cr, GetRValue(C) / 255.0, GetGValue(C) / 255.0, GetBValue(C) / 255.0);
        cairo_rectangle(Cr, R.Left, R.Top, R.Width(), R.Height());
        cairo_fill(Cr);
        cairo_set_source_rgb(Cr, 0, 0, 0);
        const std::string Text = StringToUTF8(Bench->Texts[I]);
        pango_layout_set_text(Layout, Text.c_str(), int(Text.size()));
        cairo_move_to(Cr, R.Left + 3, R.Top + 3);
        pango_cairo_show_layout(Cr, Layout);
    }
    pango_font_description_free(Font);
    g_object_unref(Layout);
    cairo_destroy(Cr);
    cairo_surface_flush(Surface);
    return Seconds(Start);
}

void BM_FormRepaint(benchmark::State& State)
{
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, Columns * CellW, Rows * CellH);
    for (auto _ : State) {
        const double Ours = RepaintOurs();
        const double Cairo = RepaintCairo(Surface);
        State.SetIterationTime(Ours);
        Ratios.Add("form repaint / cairo", Ours / Cairo);
        State.counters["ours/cairo"] = Ours / Cairo;
    }
    cairo_surface_destroy(Surface);
}

constexpr Integer Messages = 1000000;

double PostOurs(HWND Wnd, Int64& Sum)
{
    const auto Start = std::chrono::steady_clock::now();
    MSG Msg;
    // In batches, as a busy program's queue holds them.
    for (Integer Done = 0; Done < Messages; Done += 1000) {
        for (Integer I = 0; I < 1000; ++I)
            PostMessage(Wnd, WM_APP + 1, WPARAM(I), 0);
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&Msg);
    }
    benchmark::DoNotOptimize(Sum);
    return Seconds(Start);
}

double PostPlain(Int64& Sum)
{
    struct TItem {
        std::function<void(Integer)>* Target;
        Integer Value;
    };
    std::mutex Lock;
    std::deque<TItem> Queue;
    std::function<void(Integer)> Handler = [&Sum](Integer V) { Sum += V; };
    const auto Start = std::chrono::steady_clock::now();
    for (Integer Done = 0; Done < Messages; Done += 1000) {
        for (Integer I = 0; I < 1000; ++I) {
            std::lock_guard<std::mutex> Guard(Lock);
            Queue.push_back({ &Handler, I });
        }
        for (;;) {
            TItem Item;
            {
                std::lock_guard<std::mutex> Guard(Lock);
                if (Queue.empty())
                    break;
                Item = Queue.front();
                Queue.pop_front();
            }
            (*Item.Target)(Item.Value);
        }
    }
    benchmark::DoNotOptimize(Sum);
    return Seconds(Start);
}

void BM_PostGetDispatch(benchmark::State& State)
{
    Int64 Sum = 0;
    HWND Wnd = CreateHiddenWindow([&Sum](HWND, UINT M, WPARAM W, LPARAM) -> LRESULT {
        Sum += LRESULT(W);
        return 0;
    });
    for (auto _ : State) {
        const double Ours = PostOurs(Wnd, Sum);
        const double Plain = PostPlain(Sum);
        State.SetIterationTime(Ours);
        Ratios.Add("post/get/dispatch / mutex and deque", Ours / Plain);
        State.counters["ours/plain"] = Ours / Plain;
    }
    DestroyWindow(Wnd);
    State.SetItemsProcessed(State.iterations() * Messages);
}

// Rows of colour, each its own, as far down as the window goes.
TColor RowColor(Integer Y)
{
    return TColor(((Y * 37) & 0xFF) | (((Y >> 8) & 0xFF) << 8) | 0x800000);
}

class TTallContent : public TCustomControl {
    X_CLASS_TEMPLATE(TTallContent, TCustomControl, u"TTallContent")
protected:
    void Paint() override
    {
        const TRect Clip = Canvas()->ClipRect();
        for (Integer Y = Clip.Top; Y < Clip.Bottom; ++Y) {
            Canvas()->Brush()->SetColor(RowColor(Y));
            Canvas()->FillRect(Rect(Clip.Left, Y, Clip.Right, Y + 1));
        }
    }
};

constexpr Integer ScrollWidth = 400, ScrollHeight = 300, ScrollStep = 7, ScrollSteps = 1000;

double ScrollOurs(TForm* Form)
{
    const auto Start = std::chrono::steady_clock::now();
    for (Integer I = 0; I < ScrollSteps; ++I) {
        ScrollWindowEx(Form->Handle(), 0, -ScrollStep, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
        UpdateWindow(Form->Handle());
        Application->ProcessMessages();
    }
    return Seconds(Start);
}

double ScrollCairo(cairo_surface_t* Surface, Integer& Top)
{
    const auto Start = std::chrono::steady_clock::now();
    cairo_t* Cr = cairo_create(Surface);
    for (Integer I = 0; I < ScrollSteps; ++I) {
        Top += ScrollStep;
        // A surface drawn onto itself goes through a group.
        cairo_push_group(Cr);
        cairo_set_source_surface(Cr, Surface, 0, -ScrollStep);
        cairo_paint(Cr);
        cairo_pop_group_to_source(Cr);
        cairo_rectangle(Cr, 0, 0, ScrollWidth, ScrollHeight - ScrollStep);
        cairo_fill(Cr);
        for (Integer Y = ScrollHeight - ScrollStep; Y < ScrollHeight; ++Y) {
            const TColor C = RowColor(Top + Y);
            cairo_set_source_rgb(Cr, GetRValue(C) / 255.0, GetGValue(C) / 255.0, GetBValue(C) / 255.0);
            cairo_rectangle(Cr, 0, Y, ScrollWidth, 1);
            cairo_fill(Cr);
        }
    }
    cairo_destroy(Cr);
    cairo_surface_flush(Surface);
    return Seconds(Start);
}

void BM_ScrollHugeChild(benchmark::State& State)
{
    TForm* Form = New<TForm>(nullptr);
    Form->SetBounds(0, 0, ScrollWidth, ScrollHeight);
    auto* Content = New<TTallContent>(Form);
    Content->SetBounds(0, 0, 4000, 100000);
    Content->SetParent(Form);
    Form->Show();
    Application->ProcessMessages();
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, ScrollWidth, ScrollHeight);
    Integer Top = 0;
    for (auto _ : State) {
        // Back to the top between runs, unmeasured.
        Content->SetTop(0);
        Application->ProcessMessages();
        const double Ours = ScrollOurs(Form);
        const double Cairo = ScrollCairo(Surface, Top);
        State.SetIterationTime(Ours);
        Ratios.Add("scroll by strips / cairo", Ours / Cairo);
        State.counters["ours/cairo"] = Ours / Cairo;
    }
    cairo_surface_destroy(Surface);
    Form->Free();
    State.SetItemsProcessed(State.iterations() * ScrollSteps);
}

constexpr Integer HitTests = 200000;

void BM_HitTests(benchmark::State& State)
{
    std::mt19937 Random(7);
    std::vector<POINT> Points(HitTests);
    for (POINT& P : Points)
        P = { LONG(Random() % (Columns * CellW)), LONG(Random() % (Rows * CellH)) };
    TForm* Form = Bench->Form;
    for (auto _ : State) {
        Int64 Found = 0;
        auto Start = std::chrono::steady_clock::now();
        for (const POINT& P : Points) {
            HWND Wnd = WindowFromPoint(P);
            if (Wnd == Form->Handle())
                Found += Form->ControlAtPos({ P.x, P.y }, false) != nullptr;
            else
                Found += Wnd != nullptr;
        }
        const double Ours = Seconds(Start);
        Int64 Scanned = 0;
        Start = std::chrono::steady_clock::now();
        for (const POINT& P : Points) {
            // The topmost rectangle holding the point: the last one listed.
            for (size_t I = Bench->Rects.size(); I-- > 0;) {
                const TRect& R = Bench->Rects[I];
                if (P.x >= R.Left && P.x < R.Right && P.y >= R.Top && P.y < R.Bottom) {
                    ++Scanned;
                    break;
                }
            }
        }
        const double Scan = Seconds(Start);
        benchmark::DoNotOptimize(Found);
        benchmark::DoNotOptimize(Scanned);
        State.SetIterationTime(Ours);
        Ratios.Add("hit test / linear scan", Ours / Scan);
        State.counters["tests/s"] = HitTests / Ours;
        State.counters["ours/scan"] = Ours / Scan;
    }
    State.SetItemsProcessed(State.iterations() * HitTests);
}

}

BENCHMARK(BM_FormRepaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20)->Repetitions(3);
BENCHMARK(BM_PostGetDispatch)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_HitTests)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5)->Repetitions(3);
BENCHMARK(BM_ScrollHugeChild)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    {
        THeadlessPresenter Screen;
        Bench = new TBenchForm;
        benchmark::RunSpecifiedBenchmarks();
        delete Bench;
        Bench = nullptr;
    }
    benchmark::Shutdown();
    Ratios.Print();
    // The reference's fonts go before the picture layer resets cairo.
    pango_cairo_font_map_set_default(nullptr);
    FinalizeUnits();
    return 0;
}
