#include "graphics/XSpark.VCL.Controls.h"

X_REGISTER_CLASS(TXSpacer)

void TXSpacer::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetBounds(Left(), Top(), 8, 23);
}

void TXSpacer::SetWrap(bool Value)
{
    if (FWrap == Value)
        return;
    FWrap = Value;
    if (Parent())
        Parent()->Realign();
}

void TXSpacer::Paint()
{
    if (!ComponentState().Contains(csDesigning))
        return;
    // The canvas has no inverting or dashed pen: a shadow-coloured outline.
    TCanvas* C = Canvas();
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetStyle(psSolid);
    C->Pen()->SetColor(clBtnShadow);
    C->Rectangle(ClientRect());
}
