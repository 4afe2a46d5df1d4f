#include "graphics/XSpark.VCL.Labels.h"
#include "core/XCore.App.h"
#include "core/XCore.ScreenMetrics.h"
#include "core/XCore.System.h"
#include "win/ShellExecute.h"

X_REGISTER_CLASS(TXCustomLabel)
X_REGISTER_CLASS(TXLabel)
X_REGISTER_CLASS(TXLinkLabel)
X_REGISTER_CLASS(TXDividerLabel)
X_REGISTER_CLASS(TXComposableLabel)
X_REGISTER_CLASS(TXComposableLabels)
X_REGISTER_CLASS(TXComposableLinkLabel)
X_REGISTER_CLASS(TXComposableDividerLabel)

X_MESSAGES(TXCustomLabel)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(CM_STYLECHANGED, CMStyleChanged);
}

X_MESSAGES(TXLinkLabel)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
}

// ---- TXCustomLabel ----

void TXCustomLabel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    Subscribe(TXSkinChangedAspect::StaticClass(), TXNotificationHandler::Of<&TXCustomLabel::SkinChanged>(this));
    UpdateStyleMode();
}

void TXCustomLabel::ScaleToScreen()
{
    ChangeScale(Screen->PixelsPerInch(), 96);
}

void TXCustomLabel::SkinChanged(IXNotification* Notification)
{
    UpdateStyleMode();
    Invalidate();
}

void TXCustomLabel::UpdateStyleMode()
{
    TCustomStyleServices* Style = ControlSkin()->StyleServices();
    FStyled = Style && Style->Enabled();
    // A styled label lets the style's background through; a plain one keeps
    // the transparency it was given.
    if (FStyled)
        SetTransparent(true);
}

void TXCustomLabel::CMStyleChanged(TMessage& Message)
{
    UpdateStyleMode();
    Invalidate();
}

void TXCustomLabel::DrawLabelText(const String& Text, Cardinal Flags, TRect& Rect)
{
    TCustomStyleServices* Style = ControlSkin()->StyleServices();
    Canvas()->Font()->SetColor(Style->GetStyleFontColor(FEnabled ? sfTextLabelNormal : sfTextLabelDisabled));
    Canvas()->DrawText(Text, Rect, Flags);
}

void TXCustomLabel::DoDrawText(TRect& Rect, Cardinal Flags)
{
    if (FStyled && !(Flags & DT_CALCRECT)) {
        Canvas()->SetFont(FFont.get());
        DrawLabelText(FText, Flags, Rect);
        return;
    }
    inherited::DoDrawText(Rect, Flags);
}

void TXCustomLabel::SetVerticalAutoSize(bool Value)
{
    if (FVerticalAutoSize == Value)
        return;
    FVerticalAutoSize = Value;
    AdjustBounds();
    Invalidate();
}

void TXCustomLabel::AdjustBounds()
{
    if (FControlState.Contains(csReadingState) || (!FAutoSize && !FVerticalAutoSize))
        return;
    TRect R = ClientRect();
    DoDrawText(R, DT_CALCRECT | DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0));
    if (FVerticalAutoSize) {
        SetBounds(FLeft, FTop, FWidth, R.Bottom);
        return;
    }
    Integer X = FLeft;
    if (FAlignment == taRightJustify)
        X += FWidth - R.Right;
    SetBounds(X, FTop, R.Right, R.Bottom);
}

void TXCustomLabel::CMMouseEnter(TMessage& Message)
{
    FHot = true;
    X_INHERITED_MESSAGE(Message);
}

void TXCustomLabel::CMMouseLeave(TMessage& Message)
{
    FHot = false;
    X_INHERITED_MESSAGE(Message);
}

// ---- TXLinkLabel ----

void TXLinkLabel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    TakeLinkFont();
}

void TXLinkLabel::Loaded()
{
    inherited::Loaded();
    TakeLinkFont();
}

void TXLinkLabel::ChangeScale(Integer M, Integer D)
{
    inherited::ChangeScale(M, D);
    TakeLinkFont();
}

void TXLinkLabel::TakeLinkFont()
{
    if (TFont* Link = SharedFonts(6))
        SetFont(Link);
    UpdateLinkColor();
}

void TXLinkLabel::UpdateLinkColor()
{
    TCustomStyleServices* Style = ControlSkin()->StyleServices();
    TColor Color = SharedFonts(6) ? SharedFonts(6)->Color() : TColor(clHotLight);
    if (Style && !Style->IsSystemStyle()) {
        const TColor Hot = ColorToRGB(Style->GetStyleFontColor(sfCheckBoxTextHot));
        const TColor Normal = ColorToRGB(Style->GetStyleFontColor(sfCheckBoxTextNormal));
        const bool Grey = GetRValue(Hot) == GetGValue(Hot) && GetGValue(Hot) == GetBValue(Hot);
        Color = Hot == Normal || Grey ? Style->GetSystemColor(clHighlight) : Hot;
    }
    FFont->SetColor(Color);
}

void TXLinkLabel::DoDrawText(TRect& Rect, Cardinal Flags)
{
    if (!(Flags & DT_CALCRECT))
        UpdateLinkColor();
    TCustomLabel::DoDrawText(Rect, Flags);
}

void TXLinkLabel::Click()
{
    if (!FLink.empty()) {
        // Opened, never started: a link from a design or a download may
        // name a program.
        if (FLink.find(u'@') != String::npos)
            QVSystem()->MailTo(FLink);
        else
            OpenDocument(FLink);
    } else if (FActionCode != 0) {
        if (TXAppEngine* Engine = GetAppEngine()) {
            TLifeWatch Watch(FLife);
            Engine->PostNotification(CreateActionNotification(New<TXActionAspect>(FActionCode)).Get());
            if (Watch.Freed())
                return;
        }
    }
    inherited::Click();
}

void TXLinkLabel::MouseEnterLeave(bool Enter)
{
    if (ComponentState().Contains(csDesigning))
        return;
    TFontStyles Style = FFont->Style();
    Style = Enter ? Style | StyleBit(fsUnderline) : Style & ~StyleBit(fsUnderline);
    FFont->SetStyle(Style);
    Perform(CM_FONTCHANGED);
}

void TXLinkLabel::CMMouseEnter(TMessage& Message)
{
    MouseEnterLeave(true);
    X_INHERITED_MESSAGE(Message);
}

void TXLinkLabel::CMMouseLeave(TMessage& Message)
{
    MouseEnterLeave(false);
    X_INHERITED_MESSAGE(Message);
}

// ---- TXDividerLabel ----

void TXDividerLabel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetAutoSize(false);
}

void TXDividerLabel::Paint()
{
    inherited::Paint();
    TRect Text = ClientRect();
    DoDrawText(Text, DrawTextFlags() | DT_CALCRECT);
    TRect Line;
    if (FText.empty()) {
        const Integer Y = FHeight / 2;
        Line = { 0, Y - 1, FWidth, Y + 1 };
    } else {
        const Integer Y = Text.Height() / 2;
        Line = { Text.Right + ScaledSizes[6], Y - 1, FWidth, Y + 1 };
    }
    if (Line.IsEmpty())
        return;
    TCustomStyleServices* Style = ControlSkin()->StyleServices();
    if (Style && (Style->IsSystemStyle() || Style->Enabled()))
        DrawStyledDivider(Canvas(), Style, Line);
    else
        DrawColorDivider(Canvas(), ColorToRGB(FColor), Line);
}

// ---- notifications ----

IPtr<IXNotification> CreateActionNotification(TXActionAspect* Aspect)
{
    return NewNotification(Aspect, nullptr);
}

IPtr<IXNotification> CreateFormActionNotification(TCustomForm* Form, TXActionAspect* Aspect)
{
    return NewNotification(Aspect, Form);
}

// ---- composer factories ----

namespace {

// Makes a label of class T in Container at the cursor (5 pixels lower,
// scaled when the composer is) with the skin name.
template<class T>
T* NewComposedLabel(IXComposer* Composer, TWinControl* Container, const TPoint& Cursor, const String& SkinName)
{
    T* Label = New<T>(nullptr);
    Label->ControlSkin()->SetSkinName(SkinName);
    Label->SetParent(Container);
    Label->SetLeft(Cursor.X);
    Label->SetTop(Cursor.Y + (Composer->GetScaled() ? Integer(ScaledSizes[5]) : 5));
    return Label;
}

}

void TXComposableLabel::Create(const String& Text, TFont* Font)
{
    inherited::Create();
    FText = Text;
    FFont = Font;
}

TControl* TXComposableLabel::CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
    const String& SkinName)
{
    auto* Label = NewComposedLabel<TXLabel>(Composer, Container, Cursor, SkinName);
    Label->SetCaption(FText + u" ");
    if (FFont)
        Label->SetFont(FFont);
    Cursor.X += Label->Width();
    return Label;
}

void TXComposableLabels::Create(const String& Text, TFont* Font)
{
    inherited::Create();
    FText = Text;
    FFont = Font;
}

TControl* TXComposableLabels::Compose(IXComposer* Composer, const String& SkinName, TPoint& Cursor)
{
    if (!Composer || !Composer->GetContainer())
        return nullptr;
    TStringList* Lines = New<TStringList>();
    TOwnedPtr<TStringList> Hold(Lines);
    Lines->SetText(FText);
    for (Integer I = 0; I < Lines->Count(); ++I) {
        if (I > 0)
            Composer->NewLine();
        IPtr<IXComposableControlFactory> Line(New<TXComposableLabel>(Lines->Strings(I), FFont));
        Composer->Add(Line.Get());
    }
    return nullptr;
}

void TXComposableLinkLabel::Create(const String& Text, const String& Link, Integer ActionCode)
{
    inherited::Create();
    FText = Text;
    FLink = Link;
    FActionCode = ActionCode;
}

TControl* TXComposableLinkLabel::CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
    const String& SkinName)
{
    auto* Label = NewComposedLabel<TXLinkLabel>(Composer, Container, Cursor, SkinName);
    Label->SetCaption(FText + u" ");
    Label->SetLink(FLink);
    Label->SetActionCode(FActionCode);
    Label->SetCursor(crHandPoint);
    Cursor.X += Label->Width();
    return Label;
}

void TXComposableDividerLabel::Create(const String& Text, Integer Width)
{
    inherited::Create();
    FText = Text;
    FWidth = Width;
}

TControl* TXComposableDividerLabel::CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
    const String& SkinName)
{
    auto* Label = NewComposedLabel<TXDividerLabel>(Composer, Container, Cursor, SkinName);
    Label->SetCaption(FText);
    Label->SetWidth(FWidth);
    Cursor.X += Label->Width();
    return Label;
}
