// TTimer: a component that runs OnTimer every Interval milliseconds while
// Enabled, from the message loop of the thread that made it. Its handler
// may free the timer. TPanel: a container with bevels and a caption.
//
//     auto* Timer = New<TTimer>(Form);
//     Timer->SetInterval(250);
//     Timer->OnTimer = [](TObject* Sender) { ... };
#pragma once
#include "rtl/Component.h"
#include "rtl/LifeWatch.h"
#include "rtl/TypInfo.h"
#include "vcl/Controls.h"

class TTimer : public TComponent {
    X_CLASS(TTimer, TComponent)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal Value);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent Value);

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    TLifeMark FLife;
    HWND FWindow = nullptr;
    bool FEnabled = true;
    Cardinal FInterval = 1000;
    TNotifyEvent FOnTimer;
};

// Draws a frame Width pixels wide just inside Rect, TopColor on the top and
// left, BottomColor on the bottom and right, and moves Rect's edges in by
// Width.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, Integer Width);

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
X_ENUM_INFO(TBevelCut, bvNone, bvLowered, bvRaised, bvSpace)
// The shape of a bevel: a box, a frame, one line or only space.
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
X_ENUM_INFO(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer)

// A container drawn with an outer and an inner bevel, a border between
// them and its caption in the middle; children align inside the bevels
// and the border.
//
//     auto* Panel = New<TPanel>(Form);
//     Panel->SetParent(Form);
//     Panel->SetAlign(alBottom);
//     Panel->SetBevelOuter(bvNone);
class TCustomPanel : public TCustomControl {
    X_CLASS(TCustomPanel, TCustomControl)
    X_DECLARE_MESSAGES(TCustomPanel)
public:
    void Create(TComponent* AOwner) override;

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    Integer BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(Integer Value);
    Integer BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(Integer Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TVerticalAlignment VerticalAlignment() const { return FVerticalAlignment; }
    void SetVerticalAlignment(TVerticalAlignment Value);
    bool ShowCaption() const { return FShowCaption; }
    void SetShowCaption(bool Value);
    // Children see the parent's background: nothing is filled.
    bool ParentBackground() const { return FControlStyle.Contains(csParentBackground); }
    void SetParentBackground(bool Value);
    // The client area less the bevels and the border: where children align.
    TRect InnerRect();

    void AlignControls(TControl* AControl, TRect& Rect) override;

protected:
    void Paint() override;
    void CMTextChanged(TMessage& Message);

private:
    // How far the bevels and the border reach in from each edge.
    Integer FrameWidth() const;

    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    Integer FBevelWidth = 1;
    Integer FBorderWidth = 0;
    TAlignment FAlignment = taCenter;
    TVerticalAlignment FVerticalAlignment = taVerticalCenter;
    bool FShowCaption = true;
};

class TPanel : public TCustomPanel {
    X_CLASS(TPanel, TCustomPanel)
};

// In a namespace of its own: the design pages have border styles of the
// same names. Callers write TBevelStyle::bsLowered.
namespace BevelStyles {
enum TBevelStyle { bsLowered, bsRaised };
X_ENUM_INFO(TBevelStyle, bsLowered, bsRaised)
} // namespace BevelStyles
using BevelStyles::TBevelStyle;

// A graphic control that draws a lowered or raised box, frame or line
// (two pixels: shadow and highlight), as dialogs use to set parts apart.
class TBevel : public TGraphicControl {
    X_CLASS(TBevel, TGraphicControl)
public:
    void Create(TComponent* AOwner) override;

    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape Value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle Value);

protected:
    void Paint() override;

private:
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = TBevelStyle::bsLowered;
};
