#include "graphics/XSpark.VCL.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Types.h"
#include "rtl/Units.h"
#include "rtl/Verify.h"
#include "win/Metrics.h"
#include <array>

X_REGISTER_CLASS(TXGraphicControl)
X_REGISTER_CLASS(TXCustomControl)

X_MESSAGES(TXCustomControl)
{
    X_MESSAGE(WM_NCHITTEST, WMNCHitTest);
    X_MESSAGE(WM_NCLBUTTONDOWN, WMNCLButtonDown);
}

namespace {

std::array<TFont*, SharedFontCount> Fonts {};
TBrush* WhiteBrush = nullptr;
TBitmap* WorkBitmap = nullptr;

void InitVCL()
{
    WhiteBrush = New<TBrush>();
    WhiteBrush->SetColor(clWhite);
    WorkBitmap = New<TBitmap>();
    WorkBitmap->SetPixelFormat(pf32bit);
    WorkBitmap->SetSize(0, 0);
    for (TFont*& Font : Fonts)
        Font = New<TFont>();
    InitSharedFonts();
}

void DoneVCL()
{
    for (TFont*& Font : Fonts)
        FreeAndNil(Font);
    FreeAndNil(WorkBitmap);
    FreeAndNil(WhiteBrush);
}

void AssignLogFont(TFont* Font, const LOGFONT& Log)
{
    Font->SetName(Log.lfFaceName);
    Font->SetHeight(Log.lfHeight);
    TFontStyles Style = 0;
    if (Log.lfWeight >= 700)
        Style |= StyleBit(fsBold);
    if (Log.lfItalic)
        Style |= StyleBit(fsItalic);
    if (Log.lfUnderline)
        Style |= StyleBit(fsUnderline);
    if (Log.lfStrikeOut)
        Style |= StyleBit(fsStrikeOut);
    Font->SetStyle(Style);
}

TColor AdjustLuma(TColor Color, Integer Luminance)
{
    TXModelColor C = TXModelColor::FromColorAs(Color, cmHSL);
    C.FotoPixel.C3 = std::clamp(C.FotoPixel.C3 + float(Luminance) / 240.0f, 0.0f, 1.0f);
    C.ConvertTo(cmRGB);
    return C.ToColor();
}

template<class TAspect>
IPtr<IXNotification> ControlNotification(TControl* Control, TAspect* Aspect)
{
    return NewNotification(Aspect, Control);
}

}

X_UNIT(XSpark_VCL, "XSpark.VCL", ({ "XSpark.VCL.Skins", "Forms" }), &InitVCL, &DoneVCL)

void InitSharedFonts()
{
    NONCLIENTMETRICS Metrics;
    if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, Metrics.cbSize, &Metrics, 0)) {
        for (Integer I = 0; I < 8; ++I)
            AssignLogFont(Fonts[I], Metrics.lfMessageFont);
        AssignLogFont(Fonts[8], Metrics.lfCaptionFont);
        AssignLogFont(Fonts[9], Metrics.lfCaptionFont);
    } else {
        TOwnedPtr<TFont> Default(New<TFont>());
        for (TFont* Font : Fonts)
            Font->Assign(Default.get());
    }
    const TFontStyles Bold = StyleBit(fsBold);
    Fonts[1]->SetSize(Fonts[0]->Size() - 1);
    Fonts[2]->SetSize(10);
    Fonts[3]->SetStyle(Fonts[3]->Style() | Bold);
    Fonts[4]->SetSize(10);
    Fonts[4]->SetStyle(Fonts[4]->Style() | Bold);
    Fonts[5]->SetSize(Fonts[0]->Size() + 3);
    Fonts[5]->SetColor(clHotLight);
    Fonts[6]->SetColor(0xCC6600);
    Fonts[7]->SetColor(0xFF9933);
    Fonts[7]->SetStyle(Fonts[7]->Style() | StyleBit(fsUnderline));
    // Every system here is of the versions the caption font change was
    // made for.
    if (Fonts[0]->Name().find(u"Segoe") != String::npos && Screen && Screen->Fonts()->IndexOf(u"Calibri") >= 0)
        Fonts[9]->SetName(u"Calibri");
}

TFont* SharedFonts(Integer Index)
{
    X_VERIFY(Index >= 0 && Index < SharedFontCount, "shared font index out of range");
    return Fonts[size_t(Index)];
}

TBrush* SharedWhiteBrush()
{
    return WhiteBrush;
}

TBitmap* SharedWorkBitmap()
{
    return WorkBitmap;
}

void TXGraphicControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight)
{
    const TRect Old = BoundsRect();
    inherited::SetBounds(ALeft, ATop, AWidth, AHeight);
    const bool Moved = Left() != Old.Left || Top() != Old.Top;
    const bool Sized = Width() != Old.Width() || Height() != Old.Height();
    if (Moved && !Tell(CreateMovedNotification(this, New<TXMovedAspect>()), OnMoved))
        return;
    if (Sized)
        Tell(CreateSizeChangedNotification(this, New<TXSizeChangedAspect>()), OnSized);
}

bool TXGraphicControl::Tell(const IPtr<IXNotification>& Notification, const TNotifyEvent& Handler)
{
    TLifeWatch Watch(FLife);
    Broadcast(Notification.Get());
    return !Watch.Freed() && Fire(Handler);
}

void TXGraphicControl::ScaleToScreen()
{
    ChangeScale(Screen->PixelsPerInch(), 96);
}

void TXCustomControl::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

LRESULT TXCustomControl::HitTest(TPoint Point)
{
    return HTCLIENT;
}

void TXCustomControl::DoExit()
{
    TLifeWatch Watch(FLife);
    inherited::DoExit();
    if (!Watch.Freed())
        TellFocusChanged(this, this);
}

void TellFocusChanged(TControl* Control, IXObservable* Observers)
{
    Observers->Broadcast(CreateFocusChangedNotification(Control, New<TXFocusChangedAspect>()).Get());
}

void TXCustomControl::WMNCHitTest(TMessage& Message)
{
    if (ComponentState().Contains(csDesigning)) {
        X_INHERITED_MESSAGE(Message);
        return;
    }
    const TPoint P = ScreenToClient({ GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) });
    Message.Result = HitTest(P);
}

void TXCustomControl::WMNCLButtonDown(TMessage& Message)
{
    if (FDragsParentForm && !ComponentState().Contains(csDesigning))
        if (TCustomForm* Form = FindParentForm(this)) {
            PostMessage(Form->Handle(), WM_NCLBUTTONDOWN, Message.WParam, Message.LParam);
            return;
        }
    X_INHERITED_MESSAGE(Message);
}

void TXCustomControl::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

bool OfferStyleMessage(TWinControl* Control, TXControlSkin* Skin, TMessage& Message)
{
    TCustomStyleEngine* Engine = TStyleManager::Engine();
    if (!Engine || Engine->ClassType() == TCustomStyleEngine::StaticClass() || !Control->HandleAllocated() ||
        Control->ComponentState().Contains(csDestroying) || !Skin || !Skin->StyleServices()->Enabled())
        return false;
    TLifeWatch Watch(Control->LifeMark());
    return Engine->HandleMessage(Control, Message) || Watch.Freed();
}

TCustomForm* FindParentForm(TComponent* Component)
{
    auto* Control = DynamicCast<TControl>(Component);
    if (!Control)
        return nullptr;
    for (TControl* C = DynamicCast<TWinControl>(Control) ? Control : Control->Parent(); C; C = C->Parent())
        if (auto* Form = DynamicCast<TCustomForm>(C))
            return Form;
    return nullptr;
}

TCustomForm* FindOwnerForm(TComponent* Component)
{
    for (TComponent* C = Component; C; C = C->Owner())
        if (auto* Win = DynamicCast<TWinControl>(C))
            return FindParentForm(Win);
    return nullptr;
}

void CenterControlInArea(TControl* Control, Integer Width, Integer Height)
{
    const Integer W = Control->Width(), H = Control->Height();
    Control->SetBounds(Width < W ? 0 : (Width - W) / 2, Height < H ? 0 : (Height - H) / 2, W, H);
}

void SizeControlToScreen(TControl* Control)
{
    Control->SetBounds(0, 0, Screen->Width(), Screen->Height());
}

void SetParentBackground(TControl* Control, bool On)
{
    TControlStyle Style = Control->ControlStyle();
    if (On) {
        Style.Include(csParentBackground);
        Style.Exclude(csOpaque);
    } else {
        Style.Exclude(csParentBackground);
        Style.Include(csOpaque);
    }
    Control->SetControlStyle(Style);
    if (!Control->ComponentState().Contains(csDesigning))
        if (auto* Win = DynamicCast<TWinControl>(Control))
            Win->RecreateWnd();
}

void SetTransparentParams(TCreateParams& Params, bool On)
{
    if (On) {
        Params.ExStyle |= WS_EX_TRANSPARENT;
        Params.WindowClass.style |= CS_VREDRAW | CS_HREDRAW;
    } else
        Params.WindowClass.style &= ~(CS_VREDRAW | CS_HREDRAW);
}

void SetPopupWindowParams(TCreateParams& Params)
{
    Params.Style = WS_POPUP | WS_CLIPSIBLINGS;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClass.style |= CS_SAVEBITS | CS_DROPSHADOW;
}

void DrawStyledDivider(TCanvas* Canvas, TCustomStyleServices* Style, const TRect& R)
{
    if (!Canvas || !Style)
        return;
    if (Style->IsSystemStyle()) {
        const TThemedElementDetails Details = Style->GetElementDetails(teMenuPopupSeparator);
        const Integer Height = Style->GetElementSize(Details).Y;
        const Integer Top = R.Top + (R.Height() - Height) / 2;
        Style->DrawElement(Canvas, Details, { R.Left, Top, R.Right, Top + Height });
        return;
    }
    const Integer Y = R.Top + (R.Height() - 2) / 2;
    DrawDividerLine(Canvas, R.Left, Y, R.Right, Y, Style->GetSystemColor(clBtnHighlight),
        Style->GetSystemColor(clBtnShadow));
}

void DrawColorDivider(TCanvas* Canvas, TColor Color, const TRect& R)
{
    const Integer Y = R.Top + (R.Height() - 2) / 2;
    DrawDividerLine(Canvas, R.Left, Y, R.Right, Y, GetHighLightColor(Color), GetShadowColor(Color));
}

bool GetStyleHookCallDefaultProc(TStyleHook* Hook)
{
    return Hook && Hook->CallDefaultProc();
}

IPtr<IXNotification> CreateMovedNotification(TControl* Control, TXMovedAspect* Aspect)
{
    return ControlNotification(Control, Aspect);
}

IPtr<IXNotification> CreateSizeChangedNotification(TControl* Control, TXSizeChangedAspect* Aspect)
{
    return ControlNotification(Control, Aspect);
}

IPtr<IXNotification> CreateFocusChangedNotification(TControl* Control, TXFocusChangedAspect* Aspect)
{
    return ControlNotification(Control, Aspect);
}

TColor GetShadowColor(TColor Color, Integer Luminance)
{
    return AdjustLuma(Color, Luminance);
}

TColor GetHighLightColor(TColor Color, Integer Luminance)
{
    return AdjustLuma(Color, Luminance);
}
