// Command frames: the row of push buttons at the bottom of a dialog. A
// button carries its result in its Tag; a click is offered to the attached
// content frame first (0x806F: a non-zero answer replaces the Tag), then
// goes to the dialog component as the integer command 104, else to the
// modal result, or closes or hides the form:
//
//     auto* Frame = TXCommandFrame::CreateScaled(TXCmdOKCancel::StaticClass(), Form, true);
//     Frame->SetParent(Form);
//     SetDefaultCommandButton(Frame, 2);      // Cancel is the default
//
// The fixed sets (OK, OK/Cancel, Delete/Cancel...) are one class each; a
// language change re-captions and re-arranges their buttons.
#pragma once
#include "forms/XForms.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XSpark.VCL.Buttons.h"

// A command frame and the control attached to it: the frame's window
// handle (wParam) when attached; a button's Tag (wParam) asked for its
// result.
constexpr UINT XM_CMDFRAMEATTACHED = 0x806E;
constexpr UINT XM_CMDBUTTONRESULT = 0x806F;
// wParam a Tag (negative: nothing), lParam the value: show, enable or
// re-tag the matching buttons.
constexpr UINT XM_CMDSHOWBUTTON = 0x8070;
constexpr UINT XM_CMDENABLEBUTTON = 0x8071;
constexpr UINT XM_CMDSETBUTTONTAG = 0x8072;

// A content frame's command event: the 0x806F question of its command
// frame passed on (WParam the command id, Result the answer).
using TXFrameCmdEvent = TEvent<void(TMessage& Msg)>;

class TXCommandFrame : public TFrame, public IXCommandFrameRegion {
    X_CLASS(TXCommandFrame, TFrame)
    X_DECLARE_MESSAGES(TXCommandFrame)
public:
    // 451 x 35 at the bottom; the buttons, the scaling, the language hook.
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    // A frame of FrameClass scaled from 96 DPI when Scale; a bottom frame
    // is then one bevel margin shorter.
    static TXCommandFrame* CreateScaled(TClass FrameClass, TComponent* AOwner, bool Scale);

    TWinControl* AttachedControl() const { return FAttached; }
    // Watches Control and tells it of the frame (0x806E).
    void AttachControl(TWinControl* Control);
    Integer EnableTag() const { return FEnableTag; }
    void SetEnableTag(Integer Value) { FEnableTag = Value; }
    TCustomForm* ParentForm() const { return FParentForm; }
    // The window region of a skinned form takes the frame's whole bounds.
    bool FullRgn() const { return FFullRgn; }
    bool FullRegion() const override { return FFullRgn; }
    void SetFullRgn(bool Value) { FFullRgn = Value; }

    void SetParent(TWinControl* AParent) override;

    // Every child button as wide as the widest caption needs, packed to
    // the right edge.
    void ArrangeButtons();
    // The click handler of every button.
    void ButtonClick(TObject* Sender);
    // The result a button stands for: the attached control's answer, else
    // its Tag; 0 for negative ones.
    Integer ButtonResult(TControl* Button);

    virtual void ButtonTagChanged(TCustomButton* Button) { }
    virtual void CreateButtons() { }
    virtual void LanguageChanged() { }
    virtual void FrameCreated() { }

protected:
    // A button at Left, Top 6, 75 x 23, anchored to the bottom right.
    TXButton* AddButton(Integer ALeft, Integer ATag);
    TXButton* Button(Integer Index) const;
    // Caption from the language tables, Tag and Cancel key of button Index.
    void SetButton(Integer Index, Cardinal WordId, Integer ATag, bool ACancel, const String& Suffix = u"");
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void XMShowButton(TMessage& Message);
    void XMEnableButton(TMessage& Message);
    void XMSetButtonTag(TMessage& Message);

private:
    // Set by CreateScaled before the frame's construction.
    static inline bool NextScaled = false;

    bool FScale = false;
    TWinControl* FAttached = nullptr;
    Integer FEnableTag = -1;
    TCustomForm* FParentForm = nullptr;
    bool FFullRgn = false;
    std::vector<TXButton*> FButtons;

    void WatchAttached(TWinControl* Control);
    // The children with a Tag that is not negative and equals Tag.
    template<class F>
    void ForMatching(WPARAM Tag, F&& Fn);
};

using TXCommandFrameClass = TClass;

// The first button with Tag becomes the default one; tab orders then run
// from it to the last button and on from the first.
void SetDefaultCommandButton(TXCommandFrame* Frame, Integer Tag);

class TXCmdOK : public TXCommandFrame {
    X_CLASS(TXCmdOK, TXCommandFrame)
public:
    void CreateButtons() override;
    void LanguageChanged() override;
};

class TXCmdClose : public TXCmdOK {
    X_CLASS(TXCmdClose, TXCmdOK)
public:
    void LanguageChanged() override;
};

class TXCmd2ButtonFrame : public TXCommandFrame {
    X_CLASS(TXCmd2ButtonFrame, TXCommandFrame)
public:
    void CreateButtons() override;
};

class TXCmd3ButtonFrame : public TXCommandFrame {
    X_CLASS(TXCmd3ButtonFrame, TXCommandFrame)
public:
    void CreateButtons() override;
};

class TXCmd4ButtonFrame : public TXCommandFrame {
    X_CLASS(TXCmd4ButtonFrame, TXCommandFrame)
public:
    void CreateButtons() override;
};

class TXCmdOKCancel : public TXCmd2ButtonFrame {
    X_CLASS(TXCmdOKCancel, TXCmd2ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdNextCancel : public TXCmd2ButtonFrame {
    X_CLASS(TXCmdNextCancel, TXCmd2ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdCheckNowNoThanks : public TXCmd2ButtonFrame {
    X_CLASS(TXCmdCheckNowNoThanks, TXCmd2ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdDeleteCancel : public TXCmd2ButtonFrame {
    X_CLASS(TXCmdDeleteCancel, TXCmd2ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdDownloadCancel : public TXCmd2ButtonFrame {
    X_CLASS(TXCmdDownloadCancel, TXCmd2ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdRunOpenFolderCancel : public TXCmd3ButtonFrame {
    X_CLASS(TXCmdRunOpenFolderCancel, TXCmd3ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdOpenOpenFolderCancel : public TXCmd3ButtonFrame {
    X_CLASS(TXCmdOpenOpenFolderCancel, TXCmd3ButtonFrame)
public:
    void LanguageChanged() override;
};

class TXCmdOpenSaveOKCancel : public TXCmd4ButtonFrame {
    X_CLASS(TXCmdOpenSaveOKCancel, TXCmd4ButtonFrame)
public:
    void LanguageChanged() override;
};

// A form for a command frame: bsDialog, centred, titled Caption (the
// application's title when empty); with FrameClass the frame goes in, its
// DefaultTag button the default, the client widened to fit the buttons.
TXForm* CreateCommandForm(Integer ClientWidth, Integer ClientHeight, const String& Caption, TClass FrameClass,
    Integer DefaultTag);
