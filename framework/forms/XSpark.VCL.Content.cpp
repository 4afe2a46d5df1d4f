#include "forms/XSpark.VCL.Content.h"
#include "forms/XForms.h"
#include "graphics/XMedia.Types.h"
#include "rtl/Exceptions.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

X_REGISTER_CLASS(TXContentPlacement)
X_REGISTER_CLASS(TXContentFrame)
X_REGISTER_CLASS(TXContentForm)
X_REGISTER_CLASS(TXCustomContentFloat)
X_REGISTER_CLASS(TXContentFloat)

X_PUBLISHED(TXContentPlacement)
{
    X_PROP(AutoSize, AutoSize, SetAutoSize).Default(false);
    X_PROP(Position, Position, SetPosition).Default(cpAutoSize);
    X_PROP(Width, Width, SetWidth).Default(0);
    X_PROP(Height, Height, SetHeight).Default(0);
}

X_PUBLISHED(TXContentFloat)
{
    X_PROP_READONLY(ContentPlacement, ContentPlacement);
    X_PROP(Color, Color, SetColor);
    X_PROP(BorderColor, BorderColor, SetBorderColor).Default(clBtnText);
    X_PROP(BorderWidth, BorderWidth, SetBorderWidth).Default(0);
}

X_MESSAGES(TXContentFrame)
{
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnterLeave);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseEnterLeave);
}

X_MESSAGES(TXContentForm)
{
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
}

namespace {

// The factory: the frame classes in the order they registered.
std::vector<TXContentFrameEntry>& Factory()
{
    static std::vector<TXContentFrameEntry> Entries;
    return Entries;
}

// A product of sides scaled by a ratio: in 64 bits, rounded half to even,
// kept inside the Integer range.
Integer ScaledSide(Integer Side, Integer Numerator, Integer Denominator)
{
    const double Value = std::nearbyint(double(Int64(Side) * Int64(Numerator)) / double(Denominator));
    return Integer(std::clamp(Value, double(std::numeric_limits<Integer>::min()),
        double(std::numeric_limits<Integer>::max())));
}

}

// ---- factory ----

Integer RegisterContentFrameClass(const TXContentFrameEntry& Entry)
{
    auto& Entries = Factory();
    for (size_t I = 0; I < Entries.size(); ++I)
        if (Entries[I].FrameClass == Entry.FrameClass)
            return Integer(I);
    Entries.push_back(Entry);
    return Integer(Entries.size() - 1);
}

Integer ContentFrameClassCount()
{
    return Integer(Factory().size());
}

const TXContentFrameEntry& ContentFrameClass(Integer Index)
{
    if (Index < 0 || size_t(Index) >= Factory().size())
        throw EArgumentOutOfRangeException(u"Argument out of range");
    return Factory()[size_t(Index)];
}

TControl* CreateContentFrame(IInterface* Content, IXContentHost* Host, TSize& Size)
{
    // A copy: a frame class may register another while it is asked.
    const std::vector<TXContentFrameEntry> Entries = Factory();
    for (const TXContentFrameEntry& E : Entries)
        if (E.CanShow(Content))
            if (TControl* Control = E.CreateFrame(Content, Host, Size))
                return Control;
    return nullptr;
}

void CalcContentPlacement(IXContentHost* Host, TSize Natural, TSize& Size, TSize& Box)
{
    TXContentPlacement* P = Host->GetContentPlacement();
    Box = { P->Width(), P->Height() };
    const Integer W = Natural.cx, H = Natural.cy;
    switch (P->Position()) {
    case cpCenter:
        if (Box.cx < W || Box.cy < H)
            CalcDownScaledBestFitSize(Size.cx, Size.cy, W, H, Box.cx, Box.cy);
        else
            Size = Natural;
        break;
    case cpBestFit: CalcBestFitSize(Size.cx, Size.cy, W, H, Box.cx, Box.cy); break;
    case cpStretch: Size = Box; break;
    case cpFitWidth:
        Size = W != 0 ? TSize { Box.cx, ScaledSide(H, Box.cx, W) } : TSize {};
        Box = Size;
        break;
    case cpFitHeight:
        Size = H != 0 ? TSize { ScaledSide(W, Box.cy, H), Box.cy } : TSize {};
        Box = Size;
        break;
    default:
        Size = Natural;
        Box = Natural;
        break;
    }
}

// ---- content frame ----

void TXContentFrame::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Exclude(csParentBackground);
    FControlStyle.Include(csOpaque);
    SetAutoScroll(false);
}

void TXContentFrame::WMEraseBkgnd(TMessage& Message)
{
    Message.Result = 1;
}

void TXContentFrame::CMMouseEnterLeave(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed() && Parent())
        Parent()->Perform(Message.Msg, Message.WParam, Message.LParam);
}

// ---- content form ----

void TXContentForm::SetBorderColor(TColor Value)
{
    FBorderColor = Value;
    Invalidate();
}

void TXContentForm::SetBorderWidth(Integer Value)
{
    FBorderWidth = Value;
    Invalidate();
}

void TXContentForm::WMEraseBkgnd(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    if (FBorderWidth <= 0)
        return;
    TOwnedPtr<TControlCanvas> Canvas(MakeOwned<TControlCanvas>());
    Canvas->SetControl(this);
    Canvas->SetHandle(HDC(Message.WParam));
    const TRect R = ClientRect();
    const Integer B = FBorderWidth;
    Canvas->Brush()->SetColor(FBorderColor);
    // Only the ring: the inside stays as the erase left it.
    for (const TRect& Strip : { TRect { R.Left, R.Top, R.Right, R.Top + B }, TRect { R.Left, R.Bottom - B, R.Right, R.Bottom },
             TRect { R.Left, R.Top, R.Left + B, R.Bottom }, TRect { R.Right - B, R.Top, R.Right, R.Bottom } })
        Canvas->FillRect(Strip);
    Canvas->SetHandle(nullptr);
    Message.Result = 1;
}

// ---- content float ----

void TXCustomContentFloat::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FPlacement = MakeOwned<TXContentPlacement>();
    FBorderColor = clBtnText;
    FBorderWidth = 0;
    if (Designing(this))
        return;
    FForm = New<TXContentForm>(this);
    FForm->FreeNotification(this);
    FForm->SetShowTaskBar(false);
    FForm->SetBorderColor(FBorderColor);
    FForm->SetBorderWidth(FBorderWidth);
    FForm->TForm::SetBorderStyle(bsNone);
    FForm->SetFormStyle(fsNormal);
    if (Application)
        FForm->TForm::SetCaption(Application->Title());
}

void TXCustomContentFloat::BeforeDestruction()
{
    HideContent(false);
    inherited::BeforeDestruction();
}

void TXCustomContentFloat::SetColor(TColor Value)
{
    FColor = Value;
    if (FForm)
        FForm->SetColor(Value);
}

void TXCustomContentFloat::SetBorderColor(TColor Value)
{
    FBorderColor = Value;
    if (FForm)
        FForm->SetBorderColor(Value);
}

void TXCustomContentFloat::SetBorderWidth(Integer Value)
{
    if (Value == FBorderWidth)
        return;
    FBorderWidth = Value;
    if (FForm)
        FForm->SetBorderWidth(Value);
}

void TXCustomContentFloat::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FForm) {
        FForm = nullptr;
        HideContent(false);
    }
    if (AComponent == FContent)
        FContent = nullptr;
}

void TXCustomContentFloat::ShowContent(IInterface* Content)
{
    TSize Size;
    TControl* Control = CreateContentFrame(Content, this, Size);
    if (FContent) {
        TControl* Old = FContent;
        FContent = nullptr;
        Old->Hide();
        Old->SetParent(nullptr);
        Old->Free();
    }
    if (!Control || !FForm) {
        if (Control)
            Control->Free();
        return;
    }
    FContent = Control;
    Control->FreeNotification(this);
    Control->SetParent(FForm);
    FForm->SetBounds(FForm->Left(), FForm->Top(), Size.cx + 2 * FBorderWidth, Size.cy + 2 * FBorderWidth);
    CenterControlInArea(Control, FContentArea.cx, FContentArea.cy);
    Control->Show();
    FForm->Show();
}

void TXCustomContentFloat::HideContent(bool CloseForm)
{
    if (CloseForm && FForm)
        FForm->Close();
    if (!FContent)
        return;
    FContent->Hide();
    FContent->SetParent(nullptr);
    if (ComponentState().Contains(csDestroying))
        return;
    TControl* Old = FContent;
    FContent = nullptr;
    Old->Free();
}
