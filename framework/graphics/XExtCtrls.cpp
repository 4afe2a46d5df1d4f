#include "graphics/XExtCtrls.h"
#include "core/XPlatform.Utils.h"
#include "core/XEngine.h"
#include "graphics/XSkin.h"
#include "gdi/PngImage.h"
#include "graphics/XSpark.VCL.Controls.h"
#include "rtl/Streams.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "vcl/Themes.h"
#include "win/Input.h"
#include "win/Monitors.h"
#include "win/Painting.h"
#include "win/WinApi.h"
#include "win/WindowTree.h"

X_REGISTER_CLASS(TXSkinPanel)
X_REGISTER_CLASS(TXDesktopPanel)
X_REGISTER_CLASS(TXCustomHitDesktopPanel)
X_REGISTER_CLASS(TXHitDesktopPanel)
X_REGISTER_CLASS(TXHotDesktopPanel)
X_REGISTER_CLASS(TXMonitorsComboBox)

X_PUBLISHED(TXSkinPanel)
{
    X_PROP(RgnType, RgnType, SetRgnType).Default(rgnControls);
    X_PROP(BevelStyle, BevelStyle, SetBevelStyle).Default(bvLowered);
    X_PROP(BevelShape, BevelShape, SetBevelShape).Default(bsBox);
    X_PROP(Transparent, Transparent, SetTransparent).Default(false);
    X_PROP(TitleBorder, TitleBorder, SetTitleBorder);
}

X_PUBLISHED(TXDesktopPanel)
{
    X_PROP(AutoEnable, AutoEnable, SetAutoEnable).Default(true);
}

X_PUBLISHED(TXHitDesktopPanel)
{
    D.Event(u"OnCommand", &TXHitDesktopPanel::OnCommand);
}

X_MESSAGES(TXSkinPanel)
{
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
    X_MESSAGE(XM_SKINCHANGED, XMSkinChanged);
}

X_MESSAGES(TXDesktopPanel)
{
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
    X_MESSAGE(WM_CANCELMODE, WMCancelMode);
}

X_MESSAGES(TXHotDesktopPanel)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
}

X_MESSAGES(TXMonitorsComboBox)
{
    X_MESSAGE(XM_REFILLMONITORS, XMRefill);
}

#include "SkinPictures.inc"

namespace {

TXMessageGear* GDesktopPanelOwner = nullptr;
TBitmap* GUpArrow = nullptr;
TBitmap* GDownArrow = nullptr;

// A 32-bit bitmap of the PNG bytes, its alpha kept.
TBitmap* NewGlyph(std::span<const Byte> Png)
{
    TOwnedPtr<TPngImage> Picture(New<TPngImage>());
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Png.begin(), Png.end())));
    Picture->LoadFromStream(Stream.get());
    TBitmap* Bitmap = New<TBitmap>();
    Bitmap->Assign(Picture.get());
    return Bitmap;
}

void InitExtCtrls()
{
    GDesktopPanelOwner = New<TXMessageGear>(nullptr);
    GUpArrow = NewGlyph(UpArrowPng);
    GDownArrow = NewGlyph(DownArrowPng);
}

void DoneExtCtrls()
{
    FreeAndNil(GDownArrow);
    FreeAndNil(GUpArrow);
    FreeAndNil(GDesktopPanelOwner);
}

}

X_UNIT(XExtCtrls, "XExtCtrls", ({ "XSpark.VCL", "XEngine" }), &InitExtCtrls, &DoneExtCtrls)

TXMessageGear* DesktopPanelOwner()
{
    return GDesktopPanelOwner;
}

TBitmap* XUArrowBitmap()
{
    return GUpArrow;
}

TBitmap* XDArrowBitmap()
{
    return GDownArrow;
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
    const auto Colors = BevelColors(Color, FBevelStyle);
    const TColor A = Colors.first, B = Colors.second;
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

// ---- window regions ----

namespace {

HRGN BoundsRegion(TControl* Control)
{
    return CreateRectRgnIndirect(Control->BoundsRect());
}

// The skin data a control publishes as "SkinData"; a property that
// cannot be read counts as none.
TXSkinData* PublishedSkinData(TControl* Control)
{
    const TPropInfo* Prop = GetPropInfo(Control, u"SkinData");
    if (!Prop || Prop->PropType->Kind != tkClass)
        return nullptr;
    try {
        return DynamicCast<TXSkinData>(GetObjectProp(Control, Prop));
    } catch (...) { // unreadable skin data: the rounded bounds serve
        return nullptr;
    }
}

bool PublishesFullRegion(TControl* Frame)
{
    String Text;
    return GetPropInfo(Frame, u"FullRgn") && GetPropertyText(Frame, u"FullRgn", Text) && StrToBoolDef(Text, false);
}

// The region one child adds to its container's.
HRGN ControlRegion(TControl* Control, bool Alpha)
{
    if (auto* Frame = dynamic_cast<IXCommandFrameRegion*>(Control)) {
        auto* Container = DynamicCast<TWinControl>(Control);
        return Frame->FullRegion() || !Container ? BoundsRegion(Control) : BuildControlsRegion(Container, Alpha, true);
    }
    if (auto* Frame = DynamicCast<TCustomFrame>(Control))
        return PublishesFullRegion(Frame) ? CreateRoundedBoundsRegion(Frame) : BuildControlsRegion(Frame, Alpha, true);
    if (auto* Panel = DynamicCast<TXSkinPanel>(Control)) {
        switch (Panel->RgnType()) {
        case rgnControls: return BuildControlsRegion(Panel, Alpha, true);
        case rgnRect: return BoundsRegion(Panel);
        case rgnAlphaRect: return Alpha ? CreateRoundedBoundsRegion(Panel) : BoundsRegion(Panel);
        }
    }
    HRGN Region = nullptr;
    if (TXSkinData* Data = PublishedSkinData(Control))
        Region = Data->CreateRegion(Control, Alpha);
    return Region ? Region : CreateRoundedBoundsRegion(Control);
}

}

HRGN BuildControlsRegion(TWinControl* Container, bool Alpha, bool Offset)
{
    HRGN Result = CreateRectRgn(0, 0, 0, 1);
    if (!Container)
        return Result;
    for (Integer I = 0; I < Container->ControlCount(); ++I) {
        TControl* Child = Container->Controls(I);
        if (!Child->Visible() || DynamicCast<TXSpacer>(Child))
            continue;
        HRGN Part = ControlRegion(Child, Alpha);
        CombineRgn(Result, Result, Part, RGN_OR);
        DeleteObject(Part);
    }
    if (Offset)
        OffsetRgn(Result, Container->Left(), Container->Top());
    return Result;
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

// ---- desktop panels ----

void TXDesktopPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetCursor(5);
    SetParentWindow(GetDesktopWindow());
}

void TXDesktopPanel::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.ExStyle |= WS_EX_TRANSPARENT | WS_EX_NOACTIVATE;
}

void TXDesktopPanel::CreateWnd()
{
    // The window is made in ParentWindow (the desktop unless the owner
    // chose another one); top-level, it belongs to the panels' hidden
    // window.
    inherited::CreateWnd();
    if (GDesktopPanelOwner)
        SetWindowLongPtr(Handle(), GWLP_HWNDPARENT, LONG_PTR(GDesktopPanelOwner->Window()));
}

void TXDesktopPanel::WMEraseBkgnd(TMessage& Message)
{
    Message.Result = 1; // the wallpaper shows through
}

void TXDesktopPanel::WMCancelMode(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    if (FAutoEnable && !(Application && Application->Terminated()))
        DelayCall(100, TNotifyEvent([this](TObject* Sender) { ReenableWindow(Sender); }), this);
}

void TXDesktopPanel::ReenableWindow(TObject* Sender)
{
    if (HandleAllocated() && !IsWindowEnabled(Handle()))
        EnableWindow(Handle(), true);
}

void TXCustomHitDesktopPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FHitItem.reset(NewHitItem());
    SetShowHint(true);
}

void TXCustomHitDesktopPanel::SetHit(TXHitItem* Item, const TRect& Rect)
{
    if (Item)
        FHitItem->Assign(Item);
    FHitRect = Rect;
    SetBoundsRect(Rect);
    SetHint(FHitItem->Hint());
    SetCursor(FHitItem->Cursor());
}

void TXHitDesktopPanel::Click()
{
    TLifeWatch Watch(LifeMark());
    inherited::Click();
    if (Watch.Freed())
        return;
    const Integer Monitor = GetWindowMonitorIndex(Handle(), MONITOR_DEFAULTTOPRIMARY);
    TXHitItem* Item = HitItem();
    if (Item->Execute() || Watch.Freed() || !OnCommand)
        return;
    ScheduleCommand(50, Monitor, Item->Hit(), OnCommand, Item->DisplayName(), Item->Command(), Item->Args());
}

void TXHotDesktopPanel::SetPopupControl(TControl* Value)
{
    if (FPopupControl == Value)
        return;
    if (FPopupControl)
        FPopupControl->RemoveFreeNotification(this);
    FPopupControl = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TXHotDesktopPanel::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupControl)
        FPopupControl = nullptr;
}

void TXHotDesktopPanel::CMMouseEnter(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed() && FPopupControl)
        ShowPopup();
}

void TXHotDesktopPanel::ShowPopup()
{
    POINT Cursor {};
    GetCursorPos(&Cursor);
    const Integer Width = FPopupControl->Width(), Height = FPopupControl->Height();
    Integer Left = Cursor.x - 8, Top = Cursor.y - 8;
    // Only the right and bottom edges are kept inside the work area.
    MONITORINFOEX Info {};
    if (GetMonitorInfo(MonitorFromPoint(Cursor, MONITOR_DEFAULTTOPRIMARY), &Info)) {
        const RECT& Work = Info.rcWork;
        if (Left + Width > Work.right)
            Left = Work.right - Width;
        if (Top + Height > Work.bottom)
            Top = Work.bottom - Height;
    }
    FPopupControl->SetBounds(Left, Top, Width, Height);
    FPopupControl->Show();
}

// ---- monitors combo box ----

void TXMonitorsComboBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetStyle(csDropDownList);
}

void TXMonitorsComboBox::CreateWnd()
{
    inherited::CreateWnd();
    RefillList();
}

void TXMonitorsComboBox::XMRefill(TMessage& Message)
{
    RefillList();
}

void TXMonitorsComboBox::RefillList()
{
    const Integer Index = GetItemIndexOrZero(this);
    Items()->BeginUpdate();
    try {
        Items()->Clear();
        ListDisplayDevices(Items());
    } catch (...) {
        Items()->EndUpdate();
        throw;
    }
    Items()->EndUpdate();
    SetItemIndex(Index < Items()->Count() ? Index : 0);
}

Integer GetItemIndexOrZero(TCustomComboBox* ComboBox)
{
    return std::max(ComboBox->ItemIndex(), 0);
}
