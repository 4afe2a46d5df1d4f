#include "graphics/XExtCtrls.h"
#include "core/XPlatform.Utils.h"
#include "graphics/XSkin.h"
#include "vcl/Themes.h"
#include "win/Painting.h"

X_REGISTER_CLASS(TXSkinPanel)

X_PUBLISHED(TXSkinPanel)
{
    X_PROP(RgnType, RgnType, SetRgnType).Default(rgnControls);
    X_PROP(BevelStyle, BevelStyle, SetBevelStyle).Default(bvLowered);
    X_PROP(BevelShape, BevelShape, SetBevelShape).Default(bsBox);
    X_PROP(Transparent, Transparent, SetTransparent).Default(false);
    X_PROP(TitleBorder, TitleBorder, SetTitleBorder);
}

X_MESSAGES(TXSkinPanel)
{
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
    X_MESSAGE(XM_SKINCHANGED, XMSkinChanged);
}

// ---- TXSkinPanel ----

void TXSkinPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FTitleBorder.reset(New<TXBorders>());
    SetParentColor(false);
}

void TXSkinPanel::SetBevelStyle(TBevelCut Value)
{
    if (FBevelStyle == Value)
        return;
    FBevelStyle = Value;
    Invalidate();
}

void TXSkinPanel::SetBevelShape(TBevelShape Value)
{
    if (FBevelShape == Value)
        return;
    FBevelShape = Value;
    Invalidate();
}

void TXSkinPanel::SetTransparent(bool Value)
{
    if (FTransparent == Value || ComponentState().Contains(csDestroying))
        return;
    FTransparent = Value;
    ::SetParentBackground(this, Value);
}

void TXSkinPanel::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    SetTransparentParams(Params, FTransparent);
}

bool TXSkinPanel::Styled() const
{
    TCustomStyleServices* Style = ControlSkin()->StyleServices();
    return Style && Style->Enabled();
}

void TXSkinPanel::WMEraseBkgnd(TMessage& Message)
{
    if (FTransparent) {
        PaintParentBackground(this, Message);
        return;
    }
    if (Styled() && ParentColor()) {
        Message.Result = 0; // Paint draws the parent's background
        return;
    }
    X_INHERITED_MESSAGE(Message);
}

void TXSkinPanel::XMSkinChanged(TMessage& Message)
{
    BroadcastSkinChanged(this);
}

void TXSkinPanel::Paint()
{
    // An opaque panel fills itself: the platform erases it only when the
    // whole window is new, not after an Invalidate.
    if (!FTransparent) {
        TCustomStyleServices* Style = ControlSkin()->StyleServices();
        const bool ParentFill = Styled() && ParentColor() && Parent();
        TCanvas* C = Canvas();
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(ParentFill ? Style->GetSystemColor(Parent()->Color()) : FColor);
        C->FillRect(ClientRect());
    }
    PaintBevel();
    PaintCaption();
}

namespace {

// The shadow and highlight of Color, in the order a cut wants them: the
// shadow first for a lowered one.
std::pair<TColor, TColor> BevelColors(TColor Color, TBevelCut Cut)
{
    const TColor Shadow = GetShadowColor(Color, -50);
    const TColor Highlight = GetHighLightColor(Color, 19);
    return Cut == bvLowered ? std::pair { Shadow, Highlight } : std::pair { Highlight, Shadow };
}

}

void TXSkinPanel::PaintBevel()
{
    TCanvas* C = Canvas();
    const TColor Color = ColorToRGB(FColor);
    const auto [A, B] = BevelColors(Color, FBevelStyle);
    // A line in A with a line in B beside it: below a horizontal line,
    // right of a vertical one.
    auto Line = [&](Integer X1, Integer Y1, Integer X2, Integer Y2) {
        C->Pen()->SetColor(A);
        C->MoveTo(X1, Y1);
        C->LineTo(X2, Y2);
        if (B == A)
            return;
        const bool Vertical = X1 == X2;
        C->Pen()->SetColor(B);
        C->MoveTo(X1 + Vertical, Y1 + !Vertical);
        C->LineTo(X2 + Vertical, Y2 + !Vertical);
    };
    const Integer W = Width(), H = Height();
    switch (FBevelShape) {
    case bsTopLine: Line(0, 0, W, 0); return;
    case bsBottomLine: Line(0, H - 2, W, H - 2); return;
    case bsLeftLine: Line(0, 0, 0, H); return;
    case bsRightLine: Line(W - 2, 0, W - 2, H); return;
    default: break;
    }
    TRect R = ClientRect();
    auto Bevel = [&](TBevelCut Cut) {
        if (Cut == bvNone)
            return;
        const auto [Top, Bottom] = BevelColors(Color, Cut);
        Frame3D(C, R, Top, Bottom, BevelWidth());
    };
    Bevel(BevelOuter());
    Frame3D(C, R, Color, Color, BorderWidth());
    Bevel(BevelInner());
}

void TXSkinPanel::PaintCaption()
{
    if (FText.empty())
        return;
    TCanvas* C = Canvas();
    C->Brush()->SetStyle(bsClear);
    C->SetFont(FFont.get());
    const Integer H = C->TextHeight(u"W");
    TRect R = FTitleBorder->GetRect(ClientWidth(), ClientHeight());
    R.Top = (R.Top + R.Bottom - H) / 2;
    R.Bottom = R.Top + H;
    static constexpr Cardinal Aligns[] = { DT_LEFT, DT_RIGHT, DT_CENTER };
    C->DrawText(FText, R, Aligns[Alignment()] | DT_VCENTER | DT_EXPANDTABS);
    C->Brush()->SetStyle(bsSolid);
}

// ---- parent background ----

void PaintParentBackground(TWinControl* Panel, TMessage& Message)
{
    Message.Result = 1;
    HDC Dc = reinterpret_cast<HDC>(Message.WParam);
    TWinControl* Parent = Panel->Parent();
    if (!Dc || !Parent)
        return;
    const Integer Saved = SaveDC(Dc);
    const TPoint Origin = GetClientOriginInParent(Panel);
    POINT Org;
    GetWindowOrgEx(Dc, &Org);
    SetWindowOrgEx(Dc, Org.x + Origin.X, Org.y + Origin.Y, nullptr);
    TLifeWatch Watch(Parent->LifeMark());
    Parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(Dc), 0);
    if (!Watch.Freed())
        Parent->PaintControls(Dc, nullptr);
    RestoreDC(Dc, Saved);
}
