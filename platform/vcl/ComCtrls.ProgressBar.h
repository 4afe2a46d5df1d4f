// The progress bar: a lowered frame with the part from Min to Position
// filled, or, in the marquee style, a block that walks along the bar
// every MarqueeInterval milliseconds for work of unknown length.
//
//     auto* Bar = New<TProgressBar>(Form);
//     Bar->SetParent(Form);
//     Bar->SetMax(Files);
//     Bar->StepBy(1);                         // one file done
//     Bar->SetStyle(pbstMarquee);             // or: nobody knows how long
//
// Its style hook paints it for a custom style: the frame and the bar.
#pragma once
#include "vcl/Controls.h"
#include "vcl/Themes.h"

class TTimer;

enum TProgressBarStyle { pbstNormal, pbstMarquee };
enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TCustomControl {
    X_CLASS(TProgressBar, TCustomControl)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    Integer Min() const { return FMin; }
    void SetMin(Integer Value) { SetRange(Value, std::max(FMax, Value)); }
    Integer Max() const { return FMax; }
    void SetMax(Integer Value) { SetRange(std::min(FMin, Value), Value); }
    void SetRange(Integer AMin, Integer AMax);
    // Kept between Min and Max.
    Integer Position() const { return FPosition; }
    void SetPosition(Integer Value);
    Integer Step() const { return FStep; }
    void SetStep(Integer Value) { FStep = Value; }
    void StepIt() { StepBy(FStep); }
    void StepBy(Integer Delta) { SetPosition(Integer(std::clamp<Int64>(Int64(FPosition) + Delta, FMin, FMax))); }
    TProgressBarStyle Style() const { return FStyle; }
    void SetStyle(TProgressBarStyle Value);
    TProgressBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TProgressBarOrientation Value);
    // Milliseconds between two steps of the marquee block.
    Integer MarqueeInterval() const { return FMarqueeInterval; }
    void SetMarqueeInterval(Integer Value);
    // Where the marquee block starts, in pixels along the bar.
    Integer MarqueeOffset() const { return FMarqueeOffset; }

    // The inside of the frame, where the bar is drawn.
    TRect BarRect();
    void PaintFrame(TCanvas* Canvas);
    // The filled part (the marquee block in that style).
    void PaintBar(TCanvas* Canvas);

protected:
    void Paint() override;

private:
    void UpdateMarquee();
    void MarqueeTick(TObject* Sender);

    Integer FMin = 0;
    Integer FMax = 100;
    Integer FPosition = 0;
    Integer FStep = 10;
    TProgressBarStyle FStyle = pbstNormal;
    TProgressBarOrientation FOrientation = pbHorizontal;
    Integer FMarqueeInterval = 10;
    Integer FMarqueeOffset = 0;
    TOwnedPtr<TTimer> FMarqueeTimer;
};

// Paints a progress bar for a custom style; with the system style the
// bar paints itself.
class TProgressBarStyleHook : public TStyleHook {
    X_CLASS(TProgressBarStyleHook, TStyleHook)
public:
    TProgressBar* Bar() const;
    virtual void PaintFrame(TCanvas* Canvas);
    virtual void PaintBar(TCanvas* Canvas);
};
