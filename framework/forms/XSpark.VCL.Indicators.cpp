#include "forms/XSpark.VCL.Indicators.h"
#include "rtl/Units.h"
#include "win/Painting.h"
#include <cmath>

X_REGISTER_CLASS(TXProgressBarStyleHook)
X_REGISTER_CLASS(TXProgressBar)

namespace {

constexpr Integer ChunkSteps = 10;

// The hook animates only a marquee bar under a style that is there.
bool Marquee(const TStyleHook& Hook, TProgressBar* Bar)
{
    return Bar && Bar->Style() == pbstMarquee && Hook.Style()->Enabled();
}

}

void TXProgressBarStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    FCounter = 0;
    FTimer = MakeOwned<TTimer>(nullptr);
    FTimer->SetInterval(200);
    FTimer->SetEnabled(Bar() && Bar()->Style() == pbstMarquee);
    FTimer->SetOnTimer([this](TObject* Sender) { Tick(Sender); });
}

TXProgressBarStyleHook::~TXProgressBarStyleHook() = default;

bool TXProgressBarStyleHook::Animating() const
{
    return FTimer && FTimer->Enabled();
}

void TXProgressBarStyleHook::PaintBar(TCanvas* Canvas)
{
    TProgressBar* B = Bar();
    if (!Marquee(*this, B)) {
        inherited::PaintBar(Canvas);
        return;
    }
    TRect R = B->ClientRect();
    R = { R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1 };
    const bool Horizontal = B->Orientation() == pbHorizontal;
    const Integer Length = Horizontal ? R.Width() : R.Height();
    const Integer Chunk = Integer(std::nearbyint(Length / double(ChunkSteps)));
    // Across a horizontal bar from the left; up an upright one from the
    // bottom, the same ten steps.
    const TRect Part = Horizontal
        ? TRect { R.Left + FCounter * Chunk, R.Top, R.Left + (FCounter + 1) * Chunk, R.Bottom }
        : TRect { R.Left, R.Bottom - (FCounter + 1) * Chunk, R.Right, R.Bottom - FCounter * Chunk };
    TCustomStyleServices* S = Style();
    S->DrawElement(Canvas, S->GetElementDetails(Horizontal ? teProgressChunk : teProgressChunkVert), Part);
    FCounter = (FCounter + 1) % ChunkSteps;
}

void TXProgressBarStyleHook::Tick(TObject*)
{
    TProgressBar* B = Bar();
    if (!Marquee(*this, B) || !B->Visible()) {
        // Off for good: showing the bar again does not bring it back.
        FTimer->SetEnabled(false);
        return;
    }
    HDC Dc = GetWindowDC(B->Handle());
    TOwnedPtr<TControlCanvas> Canvas(MakeOwned<TControlCanvas>());
    Canvas->SetHandle(Dc);
    PaintFrame(Canvas.get());
    PaintBar(Canvas.get());
    Canvas->SetHandle(nullptr);
    ReleaseDC(B->Handle(), Dc);
}

namespace {

void InitIndicators()
{
    TStyleManager::Engine()->RegisterStyleHook(TProgressBar::StaticClass(), TXProgressBarStyleHook::StaticClass());
}

void DoneIndicators()
{
    TStyleManager::Engine()->UnRegisterStyleHook(TProgressBar::StaticClass(), TXProgressBarStyleHook::StaticClass());
}

}

X_UNIT(XSpark_VCL_Indicators, "XSpark.VCL.Indicators", ({ "Themes" }), &InitIndicators, &DoneIndicators)
