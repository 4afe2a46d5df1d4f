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
    void WMEraseBkgnd(TMessage& Message);

private:
    Integer TextHeight();

    TXFrameStyle FFrameStyle = xfsGroupBox;
    bool FTransparent = false;
};

class TXGroupBox : public TXCustomGroupBox {
    X_CLASS(TXGroupBox, TXCustomGroupBox)
};
