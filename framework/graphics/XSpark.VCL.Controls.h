// The spacer: an invisible gap in a row of controls that a flow panel lays
// out, or, with Wrap, the end of a row (the next control starts a new one).
//
//     auto* Break = New<TXSpacer>(Flow);
//     Break->SetWrap(true);
//     Break->SetParent(Flow);
#pragma once
#include "vcl/Controls.h"

class TXSpacer : public TGraphicControl {
    X_CLASS(TXSpacer, TGraphicControl)
public:
    // 8 x 23.
    void Create(TComponent* AOwner) override;

    bool Wrap() const { return FWrap; }
    // A change lays the parent's controls out again.
    void SetWrap(bool Value);

protected:
    // Only at design time: an outline that shows where the gap is.
    void Paint() override;

private:
    bool FWrap = false;
};
