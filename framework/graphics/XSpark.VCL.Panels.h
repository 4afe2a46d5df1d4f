// The panel and the group box with the framework's control skin. The
// group box draws its own frame: a box round its children under the
// caption (xfsGroupBox), a divider line after the caption (xfsDivider) or
// nothing (xfsNone); children align inside what the frame leaves.
//
//     auto* Group = New<TXGroupBox>(Form);
//     Group->SetParent(Form);
//     Group->SetCaption(u"Pictures");
//     Group->SetFrameStyle(xfsDivider);
#pragma once
#include "graphics/XSpark.VCL.h"
#include "vcl/ExtCtrls.h"
#include "vcl/Forms.h"
#include "vcl/StdCtrls.h"
#include "vcl/Themes.h"

class TXCustomPanel : public TXControlOf<TCustomPanel> {
    X_CLASS(TXCustomPanel, TXControlOf<TCustomPanel>)
public:
    void WndProc(TMessage& Message) override;
    void ScaleToScreen() override;
};

class TXPanel : public TXCustomPanel {
    X_CLASS(TXPanel, TXCustomPanel)
};

class TXCustomGroupBox : public TXControlOf<TCustomControl> {
    X_CLASS(TXCustomGroupBox, TXControlOf<TCustomControl>)
    X_DECLARE_MESSAGES(TXCustomGroupBox)
public:
    void Create(TComponent* AOwner) override;
    void WndProc(TMessage& Message) override;
    void ScaleToScreen() override;

    TXFrameStyle FrameStyle() const { return FFrameStyle; }
    void SetFrameStyle(TXFrameStyle Value);
    // The parent's background through the box: the window is made again.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    void AlignControls(TControl* AControl, TRect& Rect) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    // The client area less the frame: where children align.
    TRect FrameClientRect(TRect Rect);
    // The caption's place: its extent, 8 pixels from the left.
    TRect CaptionRect();
    bool Styled() const;

    void CMTextChanged(TMessage& Message);
    void CMFontChanged(TMessage& Message);
    void CMDialogChar(TMessage& Message);
    void WMEraseBkgnd(TMessage& Message);

private:
    Integer TextHeight();

    TXFrameStyle FFrameStyle = xfsGroupBox;
    bool FTransparent = false;
};

class TXGroupBox : public TXCustomGroupBox {
    X_CLASS(TXGroupBox, TXCustomGroupBox)
};

// The scroll box with the control skin: both bars smooth and tracking.
// OnAdjustClientRect follows each alignment of the children, OnSizeMessage
// each WM_SIZE.
class TXScrollBox : public TXControlOf<TScrollBox> {
    X_CLASS(TXScrollBox, TXControlOf<TScrollBox>)
    X_DECLARE_MESSAGES(TXScrollBox)
public:
    void Create(TComponent* AOwner) override;
    void WndProc(TMessage& Message) override;
    void ScaleToScreen() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;

    TNotifyEvent OnAdjustClientRect;
    TNotifyEvent OnSizeMessage;

protected:
    void WMSize(TMessage& Message);
};

// Erases the scroll box with its skin style's panel colour.
class TXScrollBoxStyleHook : public TScrollingStyleHook {
    X_CLASS(TXScrollBoxStyleHook, TScrollingStyleHook)
public:
    using inherited::Create;
    void Create(TWinControl* AControl) override;
    TXControlSkin* ControlSkin() const { return FControlSkin; }
    bool HandleMessage(TMessage& Message) override;

private:
    TXControlSkin* FControlSkin = nullptr; // the scroll box's
};

// A scroll bar that the wheel moves by the wheel's delta in positions.
class TXScrollBar : public TScrollBar {
    X_CLASS(TXScrollBar, TScrollBar)
public:
    void WndProc(TMessage& Message) override;
};
