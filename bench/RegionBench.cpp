// The window region of a skinned form: BuildControlsRegion over 300
// children of a panel (half of them skin panels cut as rectangles, half
// plain controls cut with rounded corners, every tenth of those a nested
// panel of two children), beside pixman uniting the same shapes, made
// before the clock starts, one after the other. The ratio is printed.
#include "graphics/XExtCtrls.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "win/Presenter.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <vector>

namespace {

XBench::TRatios Ratios;

class TBenchShape : public TGraphicControl {
    X_CLASS_TEMPLATE(TBenchShape, TGraphicControl, u"TRegionBenchShape")
};

constexpr Integer Columns = 20, Rows = 15, CellW = 30, CellH = 20;

struct TRegionForm {
    TForm* Form = nullptr;
    TXSkinPanel* Host = nullptr;
    // The shape of every child, in the host's coordinates.
    std::vector<pixman_region32_t> Shapes;

    TRegionForm()
    {
        Form = New<TForm>(nullptr);
        Form->SetBounds(0, 0, Columns * CellW + 20, Rows * CellH + 20);
        Host = New<TXSkinPanel>(Form);
        Host->SetBounds(10, 10, Columns * CellW, Rows * CellH);
        Host->SetParent(Form);
        for (Integer I = 0; I < Columns * Rows; ++I) {
            const TRect Cell { (I % Columns) * CellW, (I / Columns) * CellH, 0, 0 };
            const TRect R { Cell.Left + 2, Cell.Top + 2, Cell.Left + CellW - 2, Cell.Top + CellH - 2 };
            TControl* Child;
            if (I % 2 == 0) {
                auto* Panel = New<TXSkinPanel>(Form);
                Panel->SetRgnType(rgnRect);
                Child = Panel;
            } else if (I % 20 == 1) {
                auto* Nested = New<TXSkinPanel>(Form);
                for (Integer K = 0; K < 2; ++K) {
                    auto* Inner = New<TXSkinPanel>(Form);
                    Inner->SetRgnType(rgnRect);
                    Inner->SetBounds(K * 12, 0, 10, 10);
                    Inner->SetParent(Nested);
                }
                Child = Nested;
            } else
                Child = New<TBenchShape>(Form);
            Child->SetBounds(R.Left, R.Top, R.Width(), R.Height());
            Child->SetParent(Host);
        }
        // The reference gets each child's own shape, taken from the
        // builder's answer for a host of that child alone.
        for (Integer I = 0; I < Host->ControlCount(); ++I) {
            TControl* Child = Host->Controls(I);
            for (Integer K = 0; K < Host->ControlCount(); ++K)
                Host->Controls(K)->SetVisible(K == I);
            HRGN Rgn = BuildControlsRegion(Host, true, false);
            const auto Boxes = RegionOf(Rgn)->Boxes();
            Shapes.emplace_back();
            pixman_region32_init_rects(&Shapes.back(), Boxes.data(), int(Boxes.size()));
            DeleteObject(Rgn);
            (void)Child;
        }
        for (Integer K = 0; K < Host->ControlCount(); ++K)
            Host->Controls(K)->SetVisible(true);
    }
    ~TRegionForm()
    {
        for (pixman_region32_t& R : Shapes)
            pixman_region32_fini(&R);
        Form->Free();
    }
};

TRegionForm* Scene = nullptr;

void BM_BuildControlsRegion(benchmark::State& State)
{
    constexpr int Rounds = 50;
    for (auto _ : State) {
        const double Ours = XBench::Timed([] {
            for (int N = 0; N < Rounds; ++N)
                DeleteObject(BuildControlsRegion(Scene->Host, true, true));
        });
        const double Pixman = XBench::Timed([] {
            for (int N = 0; N < Rounds; ++N) {
                pixman_region32_t Result;
                pixman_region32_init(&Result);
                for (pixman_region32_t& Shape : Scene->Shapes)
                    pixman_region32_union(&Result, &Result, &Shape);
                pixman_region32_translate(&Result, 10, 10);
                pixman_region32_fini(&Result);
            }
        });
        State.SetIterationTime(Ours / Rounds);
        Ratios.Add("BuildControlsRegion of 300 controls / pixman union", Ours / Pixman);
        State.counters["ours/pixman"] = Ours / Pixman;
    }
}

}

BENCHMARK(BM_BuildControlsRegion)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(10)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    {
        THeadlessPresenter Screen;
        Scene = new TRegionForm;
        benchmark::RunSpecifiedBenchmarks();
        delete Scene;
        Scene = nullptr;
    }
    benchmark::Shutdown();
    Ratios.Print();
    FinalizeUnits();
    return 0;
}
