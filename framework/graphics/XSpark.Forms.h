// The form options of the dialog framework: what a dialog applies to the
// form it shows (the caption, border style and position always; left and
// top for the designed positions; width and height when above 0; the
// bounds when not empty).
#pragma once
#include "core/XCore.Classes.h"
#include "vcl/Forms.h"

class TXFormOptions : public TXManagedPersistent {
    X_CLASS(TXFormOptions, TXManagedPersistent)
public:
    // A dialog, bsDialog, centred on the screen; no size, place or bounds.
    void SetDefaults() override;
    bool AssignFrom(TPersistent* Source) override;

    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value) { FCaption = Value; }
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value) { FBorderStyle = Value; }
    const TRect& BoundsRect() const { return FBoundsRect; }
    void SetBoundsRect(const TRect& Value) { FBoundsRect = Value; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }
    Integer Left() const { return FLeft; }
    void SetLeft(Integer Value) { FLeft = Value; }
    Integer Top() const { return FTop; }
    void SetTop(Integer Value) { FTop = Value; }
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value) { FWindowState = Value; }
    bool Final() const { return FFinal; }
    void SetFinal(bool Value) { FFinal = Value; }

private:
    String FCaption;
    TFormBorderStyle FBorderStyle = bsDialog;
    TRect FBoundsRect {};
    Integer FWidth = 0;
    Integer FHeight = 0;
    Integer FLeft = 0;
    Integer FTop = 0;
    TPosition FPosition = poScreenCenter;
    TWindowState FWindowState = wsNormal;
    bool FFinal = false;
};
