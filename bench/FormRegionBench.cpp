// A skinned AlphaStyle form of 100 child panels sized a pixel at a time:
// each resize step cuts the window region again (the border strips and
// the children). Beside it, the same region built in pixman directly from
// rectangles known beforehand. The ratio is printed.
#include "forms/XForms.h"
#include "graphics/XExtCtrls.h"
#include "rtl/Units.h"
#include "win/Presenter.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <vector>

namespace {

XBench::TRatios Ratios;

constexpr Integer Columns = 10, Rows = 10, CellW = 40, CellH = 30;
constexpr Integer BorderLeft = 4, BorderTop = 30, BorderRight = 5, BorderBottom = 6;

struct TScene {
    TComponent* Holder = nullptr;
    TXForm* Form = nullptr;
    // The children's rectangles in window coordinates.
    std::vector<pixman_box32_t> Children;

    TScene()
    {
        Holder = New<TComponent>(nullptr);
        auto* Skin = New<XSkin::TXSkin>(Holder);
        auto* Data = New<TXFormSkinData>(Holder);
        Data->SetName(u"Form");
        Data->Border()->SetLeft(BorderLeft);
        Data->Border()->SetTop(BorderTop);
        Data->Border()->SetRight(BorderRight);
        Data->Border()->SetBottom(BorderBottom);
        Data->SetAlphaStyle(true);
        Skin->AddSkinData(Data);
        XSkin::TXSkin::RegisterAs(Skin, u"RegionBench");
        Form = New<TXForm>(nullptr);
        Form->SetBounds(100, 100, Columns * CellW + 40, Rows * CellH + 60);
        for (Integer I = 0; I < Columns * Rows; ++I) {
            auto* Panel = New<TXSkinPanel>(Form);
            Panel->SetRgnType(rgnRect);
            const Integer X = (I % Columns) * CellW + 2, Y = (I / Columns) * CellH + 2;
            Panel->SetBounds(X, Y, CellW - 4, CellH - 4);
            Panel->SetParent(Form);
            Children.push_back({ BorderLeft + X, BorderTop + Y, BorderLeft + X + CellW - 4, BorderTop + Y + CellH - 4 });
        }
        Form->Style()->SetSkinStyle(u"RegionBench");
        Form->Show();
    }
    ~TScene()
    {
        Form->Free();
        Holder->Free();
    }
};

TScene* Scene = nullptr;

void BM_UpdateWindowRegionPerResizeStep(benchmark::State& State)
{
    constexpr int Steps = 40;
    const Integer W0 = Scene->Form->Width(), H0 = Scene->Form->Height();
    for (auto _ : State) {
        const double Ours = XBench::Timed([&] {
            for (int N = 0; N < Steps; ++N)
                Scene->Form->SetBounds(100, 100, W0 + N, H0 + N);
        });
        const double Pixman = XBench::Timed([&] {
            for (int N = 0; N < Steps; ++N) {
                const Integer W = W0 + N, H = H0 + N;
                std::vector<pixman_box32_t> Boxes { { 0, 0, W, BorderTop }, { 0, BorderTop, BorderLeft, H - BorderBottom },
                    { W - BorderRight, BorderTop, W, H - BorderBottom }, { 0, H - BorderBottom, W, H } };
                pixman_region32_t Result, Kids;
                pixman_region32_init_rects(&Result, Boxes.data(), int(Boxes.size()));
                pixman_region32_init(&Kids);
                for (const pixman_box32_t& B : Scene->Children) {
                    pixman_region32_t One;
                    pixman_region32_init_rect(&One, B.x1, B.y1, unsigned(B.x2 - B.x1), unsigned(B.y2 - B.y1));
                    pixman_region32_union(&Kids, &Kids, &One);
                    pixman_region32_fini(&One);
                }
                pixman_region32_union(&Result, &Result, &Kids);
                benchmark::DoNotOptimize(pixman_region32_n_rects(&Result));
                pixman_region32_fini(&Kids);
                pixman_region32_fini(&Result);
            }
        });
        State.SetIterationTime(Ours / Steps);
        Ratios.Add("UpdateWindowRegion per resize step of 100 controls / pixman", Ours / Pixman);
        State.counters["ours/pixman"] = Ours / Pixman;
    }
}

}

BENCHMARK(BM_UpdateWindowRegionPerResizeStep)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime()
    ->Iterations(10)
    ->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    {
        THeadlessPresenter Screen;
        Scene = new TScene;
        benchmark::RunSpecifiedBenchmarks();
        delete Scene;
        Scene = nullptr;
    }
    benchmark::Shutdown();
    Ratios.Print();
    FinalizeUnits();
    return 0;
}
