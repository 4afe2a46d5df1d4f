// The progress bar's own hook for custom styles: it walks the marquee
// chunk across the bar in ten steps, one every 200 ms, where the style
// itself would not animate it. The unit registers the hook for every
// TProgressBar. With the system style the bar paints itself, and the
// hook's timer stops at its first tick.
#pragma once
#include "vcl/ComCtrls.h"
#include "vcl/ExtCtrls.h"

class TXProgressBarStyleHook : public TProgressBarStyleHook {
    X_CLASS(TXProgressBarStyleHook, TProgressBarStyleHook)
public:
    // The timer runs only when the bar is a marquee at this moment.
    void Create(TWinControl* AControl) override;
    ~TXProgressBarStyleHook() override;

    void PaintBar(TCanvas* Canvas) override;
    // Where the chunk stands next: 0 to 9.
    Integer Counter() const { return FCounter; }
    bool Animating() const;

private:
    void Tick(TObject* Sender);

    Integer FCounter = 0;
    TOwnedPtr<TTimer> FTimer;
};

class TXProgressBar : public TProgressBar {
    X_CLASS(TXProgressBar, TProgressBar)
};
