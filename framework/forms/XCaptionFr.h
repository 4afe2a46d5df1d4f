// The caption frame: a command frame used as the painted caption bar of a
// skinned form. It shows the form's caption in the skin's caption colour
// and turns presses and moves on it into the form's non-client actions
// (a drag moves the form, a control tagged -2 is the system menu).
#pragma once
#include "forms/XCommandFr.h"
#include "graphics/XSpark.VCL.Labels.h"

class TXCaptionFrame : public TXCommandFrame {
    X_CLASS(TXCaptionFrame, TXCommandFrame)
    X_DECLARE_MESSAGES(TXCaptionFrame)
public:
    // At the top, with the caption label.
    void Create(TComponent* AOwner) override;
    void CreateButtons() override;

    TXLabel* CaptionLabel() const { return FCaptionLabel; }
    bool CaptionHidden() const { return FCaptionHidden; }
    void SetCaptionHidden(bool Value) { FCaptionHidden = Value; }
    // The label shows Text and one trailing space.
    void SetCaptionText(const String& Text);
    virtual void UpdateCaptionVisibility();

    // A new parent is told to the frame itself: colour and caption.
    void SetParent(TWinControl* AParent) override;
    void WndProc(TMessage& Message) override;

protected:
    void Resize() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void XMFormActiveChanged(TMessage& Message);
    void XMFormCaptionChanged(TMessage& Message);

private:
    TXLabel* FCaptionLabel = nullptr;
    bool FCaptionHidden = false;

    // Posts the non-client twin of a mouse message to the form; false when
    // the control under the point takes the message itself.
    bool PassToForm(TMessage& Message);
};

// Stores the flag and updates the label when it changes.
void SetCaptionHidden(TXCaptionFrame* Frame, bool Value);
