#include "vcl/ComCtrls.ProgressBar.h"
#include "vcl/ExtCtrls.h"
#include <algorithm>

X_REGISTER_CLASS(TProgressBar)
X_REGISTER_CLASS(TProgressBarStyleHook)

void TProgressBar::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Include(csOpaque).Exclude(csSetCaption);
    FWidth = 150;
    FHeight = 17;
}

void TProgressBar::BeforeDestruction()
{
    FMarqueeTimer.reset();
    inherited::BeforeDestruction();
}

void TProgressBar::SetRange(Integer AMin, Integer AMax)
{
    AMax = std::max(AMax, AMin);
    if (AMin == FMin && AMax == FMax)
        return;
    FMin = AMin;
    FMax = AMax;
    FPosition = std::clamp(FPosition, FMin, FMax);
    Invalidate();
}

void TProgressBar::SetPosition(Integer Value)
{
    Value = std::clamp(Value, FMin, FMax);
    if (Value == FPosition)
        return;
    FPosition = Value;
    Invalidate();
}

void TProgressBar::SetStyle(TProgressBarStyle Value)
{
    if (FStyle == Value)
        return;
    FStyle = Value;
    FMarqueeOffset = 0;
    UpdateMarquee();
    Invalidate();
}

void TProgressBar::SetOrientation(TProgressBarOrientation Value)
{
    if (FOrientation == Value)
        return;
    FOrientation = Value;
    Invalidate();
}

void TProgressBar::SetMarqueeInterval(Integer Value)
{
    FMarqueeInterval = std::max(Value, 1);
    UpdateMarquee();
}

void TProgressBar::UpdateMarquee()
{
    if (FStyle != pbstMarquee) {
        FMarqueeTimer.reset();
        return;
    }
    if (!FMarqueeTimer) {
        FMarqueeTimer = MakeOwned<TTimer>(nullptr);
        FMarqueeTimer->SetOnTimer([this](TObject* Sender) { MarqueeTick(Sender); });
    }
    FMarqueeTimer->SetInterval(Cardinal(FMarqueeInterval));
}

void TProgressBar::MarqueeTick(TObject*)
{
    if (!Showing())
        return;
    const TRect R = BarRect();
    const Integer Length = FOrientation == pbHorizontal ? R.Width() : R.Height();
    // The block leaves at one end and comes back at the other.
    const Integer Block = std::max(Length / 5, 1);
    FMarqueeOffset = FMarqueeOffset + 1 >= Length ? -Block + 1 : FMarqueeOffset + 1;
    Invalidate();
}

TRect TProgressBar::BarRect()
{
    const TRect R = ClientRect();
    return { R.Left + 1, R.Top + 1, std::max(R.Right - 1, R.Left + 1), std::max(R.Bottom - 1, R.Top + 1) };
}

void TProgressBar::PaintFrame(TCanvas* Canvas)
{
    TRect R = ClientRect();
    Frame3D(Canvas, R, clBtnShadow, clBtnHighlight, 1);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(clBtnFace);
    Canvas->FillRect(R);
}

void TProgressBar::PaintBar(TCanvas* Canvas)
{
    const TRect R = BarRect();
    const bool Horizontal = FOrientation == pbHorizontal;
    const Integer Length = Horizontal ? R.Width() : R.Height();
    Integer From = 0, To = 0; // along the bar, from its start
    if (FStyle == pbstMarquee) {
        From = std::max(FMarqueeOffset, 0);
        To = std::min(FMarqueeOffset + std::max(Length / 5, 1), Length);
    } else if (FMax > FMin) {
        To = Integer(Int64(Length) * (Int64(FPosition) - FMin) / (Int64(FMax) - FMin));
    }
    if (To <= From)
        return;
    // A vertical bar fills from the bottom up.
    const TRect Chunk = Horizontal ? TRect { R.Left + From, R.Top, R.Left + To, R.Bottom }
                                   : TRect { R.Left, R.Bottom - To, R.Right, R.Bottom - From };
    StyleServices()->DrawElement(
        Canvas, StyleServices()->GetElementDetails(Horizontal ? teProgressChunk : teProgressChunkVert), Chunk);
}

void TProgressBar::Paint()
{
    PaintFrame(Canvas());
    PaintBar(Canvas());
}

TProgressBar* TProgressBarStyleHook::Bar() const
{
    return DynamicCast<TProgressBar>(FControl);
}

void TProgressBarStyleHook::PaintFrame(TCanvas* Canvas)
{
    if (TProgressBar* B = Bar())
        B->PaintFrame(Canvas);
}

void TProgressBarStyleHook::PaintBar(TCanvas* Canvas)
{
    if (TProgressBar* B = Bar())
        B->PaintBar(Canvas);
}
