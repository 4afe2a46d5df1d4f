// The framework's labels: TXLabel follows its skin's style, shortens its
// text with an ellipsis and can size its height alone; TXLinkLabel opens a
// web or mail address, or posts an application action, when clicked;
// TXDividerLabel draws a divider line after its caption. The composable
// factories make them for a composer:
//
//     IPtr<IXComposableControlFactory> Link(New<TXComposableLinkLabel>(u"Home page", u"https://example.com/", 0));
//     Composer->Add(Label.Get())->Add(Link.Get())->NewLine();
#pragma once
#include "graphics/XMedia.Types.h"
#include "graphics/XSpark.VCL.Composer.h"
#include "graphics/XSpark.VCL.h"
#include "vcl/StdCtrls.h"


class TXCustomLabel : public TXControlOf<TCustomLabel> {
    X_CLASS(TXCustomLabel, TXControlOf<TCustomLabel>)
    X_DECLARE_MESSAGES(TXCustomLabel)
public:
    void Create(TComponent* AOwner) override;

    TXEllipsis Ellipsis() const { return TXEllipsis(EllipsisPosition()); }
    void SetEllipsis(TXEllipsis Value) { SetEllipsisPosition(TEllipsisPosition(Value)); }
    // Only the height follows the text; the width stays.
    bool VerticalAutoSize() const { return FVerticalAutoSize; }
    void SetVerticalAutoSize(bool Value);
    // The mouse is over the label.
    bool Hot() const { return FHot; }
    // Drawn by the skin's style (a style that styles controls).
    bool Styled() const { return FStyled; }
    void ScaleToScreen() override;

protected:
    // The styled text: in the style's label text colour.
    virtual void DrawLabelText(const String& Text, Cardinal Flags, TRect& Rect);
    void DoDrawText(TRect& Rect, Cardinal Flags) override;
    void AdjustBounds() override;
    // Styled or plain, by the skin's style.
    void UpdateStyleMode();

    void CMMouseEnter(TMessage& Message);
    void CMMouseLeave(TMessage& Message);
    void CMStyleChanged(TMessage& Message);

private:
    void SkinChanged(IXNotification* Notification);

    bool FVerticalAutoSize = false;
    bool FHot = false;
    bool FStyled = false;
};

class TXLabel : public TXCustomLabel {
    X_CLASS(TXLabel, TXCustomLabel)
};

// A link: the shared link font, underlined under the mouse. A click opens
// Link (a mail address when it holds "@"), else posts ActionCode to the
// application engine, then runs OnClick.
class TXLinkLabel : public TXCustomLabel {
    X_CLASS(TXLinkLabel, TXCustomLabel)
public:
    void Create(TComponent* AOwner) override;
    void Loaded() override;
    void ChangeScale(Integer M, Integer D) override;
    void Click() override;

    Integer ActionCode() const { return FActionCode; }
    void SetActionCode(Integer Value) { FActionCode = Value; }
    const String& Link() const { return FLink; }
    void SetLink(const String& Value) { FLink = Value; }
    // The link colour of the skin's style, or of the shared link font.
    void UpdateLinkColor();

protected:
    void DoDrawText(TRect& Rect, Cardinal Flags) override;
    void MouseEnterLeave(bool Enter);

    void CMMouseEnter(TMessage& Message);
    void CMMouseLeave(TMessage& Message);

private:
    void TakeLinkFont();

    Integer FActionCode = 0;
    String FLink;

    X_DECLARE_MESSAGES(TXLinkLabel)
};

// A caption and, after it, a divider line to the right edge (across the
// whole label without a caption).
class TXDividerLabel : public TXCustomLabel {
    X_CLASS(TXDividerLabel, TXCustomLabel)
public:
    void Create(TComponent* AOwner) override;

protected:
    void Paint() override;
};

// An action notification without sender, or with the form as sender;
// Aspect is taken over.
IPtr<IXNotification> CreateActionNotification(TXActionAspect* Aspect);
IPtr<IXNotification> CreateFormActionNotification(TCustomForm* Form, TXActionAspect* Aspect);

// Composer factories. Font, when given, is borrowed until the control is
// composed.
class TXComposableLabel : public TXComposableControl {
    X_CLASS(TXComposableLabel, TXComposableControl)
public:
    using inherited::Create;
    void Create(const String& Text, TFont* Font = nullptr);

protected:
    TControl* CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
        const String& SkinName) override;

private:
    String FText;
    TFont* FFont = nullptr;
};

// One label per line of the text, with a composer line between them; it
// answers no control itself.
class TXComposableLabels : public TXComposableControl {
    X_CLASS(TXComposableLabels, TXComposableControl)
public:
    using inherited::Create;
    void Create(const String& Text, TFont* Font = nullptr);
    TControl* Compose(IXComposer* Composer, const String& SkinName, TPoint& Cursor) override;

private:
    String FText;
    TFont* FFont = nullptr;
};

class TXComposableLinkLabel : public TXComposableControl {
    X_CLASS(TXComposableLinkLabel, TXComposableControl)
public:
    using inherited::Create;
    void Create(const String& Text, const String& Link, Integer ActionCode);

protected:
    TControl* CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
        const String& SkinName) override;

private:
    String FText;
    String FLink;
    Integer FActionCode = 0;
};

class TXComposableDividerLabel : public TXComposableControl {
    X_CLASS(TXComposableDividerLabel, TXComposableControl)
public:
    using inherited::Create;
    void Create(const String& Text, Integer Width);

protected:
    TControl* CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
        const String& SkinName) override;

private:
    String FText;
    Integer FWidth = 0;
};
