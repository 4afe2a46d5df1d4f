// The older form layer: TXWinForm, the base of the program's windows, and
// TXForm, which can paint its own frame from form skin data, cut its
// window to a region, carry a caption frame and a translucent companion
// window behind it.
//
//     auto* Form = New<TXForm>(Application);
//     Form->Style()->SetSkinDataName(u"Form");      // looked up in the skin
//     Form->Style()->SetSkinStyle(u"Blue");         // a registered skin
//     Form->Show();
//
// A form's life is told through its hooks (InitForm, LanguageChanged,
// FormShown, FormHidden, FormResized, DoneForm); a form owned by a dialog
// component tells the dialog of a system close as the integer command 104
// with the result "2".
//
// Beside them: the style a dialog hands its form (TXFormStyle), the form
// skin data, the companion (TXAlphaForm), the pop-up form, the stored
// window geometry (TXWindowScreenState), KeepFormOnMonitor, and opening a
// URL or a mail address.
#pragma once
#include "core/XCore.Classes.h"
#include "graphics/XSkin.h"
#include "graphics/XSkinData.h"
#include "vcl/Forms.h"

class TXCaptionFrame;
class TXCommandFrame;
class TXForm;
class TXFormStyle;

namespace XEngine {
class TXGear;
}

using TXSysCommandEvent = std::function<void(TObject* Sender, bool& Handled)>;

// The private messages between forms, caption frames and command frames.
constexpr UINT XM_FORMACTIVECHANGED = 0x807A;
constexpr UINT XM_FORMCAPTIONCHANGED = 0x807B;

// The integer command a dialog component closes with; its argument is the
// result as decimal text.
constexpr Integer XCMD_CLOSEDIALOG = 104;

class TXWinForm : public TForm {
    X_CLASS(TXWinForm, TForm)
    X_DECLARE_MESSAGES(TXWinForm)
public:
    // The shared message font; on the task bar.
    void Create(TComponent* AOwner) override;
    // InitForm, then LanguageChanged is registered (and so runs once).
    void AfterConstruction() override;
    // LanguageChanged unregistered, DoneForm, off the task bar.
    void BeforeDestruction() override;
    // A name the owner accepts.
    void SetName(const String& NewName) override;

    bool ShowTaskBar() const { return FShowTaskBar; }
    void SetShowTaskBar(bool Value);

    // The dialog component that shows this form (a gear; not owned,
    // forgotten when it goes).
    XEngine::TXGear* OwningDialog() const { return FOwningDialog; }
    void SetOwningDialog(XEngine::TXGear* Dialog);

    // Where an anchored form shown with poDesigned puts its right or bottom
    // edge; unset while either is 0.
    TPoint AnchorPoint() const { return FAnchorPoint; }
    void SetAnchorPoint(TPoint Value) { FAnchorPoint = Value; }

    // Re-captions the form; registered with the language procedures.
    virtual void LanguageChanged() { }

    TXSysCommandEvent OnSysClose;
    TXSysCommandEvent OnSysMinimize;
    TXSysCommandEvent OnSysMaximize;

protected:
    virtual void InitForm() { }
    virtual void DoneForm() { }
    virtual void FormShown() { }
    virtual void FormHidden() { }
    virtual void FormResized() { }

    void DoShow() override;
    void DoHide() override;
    void Resize() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void WMSysCommand(TMessage& Message);
    void CMShowingChanged(TMessage& Message);

    // The index of the monitor the form's window is on (0 without one).
    Integer MonitorIndex();

private:
    bool FShowTaskBar = true;
    XEngine::TXGear* FOwningDialog = nullptr;
    TPoint FAnchorPoint {};
};

// How a form's frame is painted: colours for the inactive and active state,
// the border widths (Top is the caption height), and whether the form is
// cut to a region with a translucent companion behind it.
class TXCustomFormSkinData : public TXSkinData {
    X_CLASS(TXCustomFormSkinData, TXSkinData)
public:
    void Create(TComponent* AOwner) override;

    const String& CaptionClassName() const { return FCaptionClassName; }
    void SetCaptionClassName(const String& Value) { FCaptionClassName = Value; }
    bool AlphaStyle() const { return FAlphaStyle; }
    void SetAlphaStyle(bool Value) { FAlphaStyle = Value; }
    TXFormColorData* AlphaColor() const { return FAlphaColor.get(); }
    TXFormColorData* Color() const { return FColor.get(); }
    TXActiveColorData* CaptionColor() const { return FCaptionColor.get(); }
    TXBorders* Border() const { return FBorder.get(); }

    void AdjustClientRect(TControl* Control, TRect& Rect) override;
    void PaintNonClient(TCustomForm* Form, TCanvas* Canvas) override;
    Integer HitTestNonClient(TCustomForm* Form, TPoint Point) override;
    // The border widths go from 96 DPI to the screen's.
    void Loaded() override;

private:
    String FCaptionClassName;
    bool FAlphaStyle = false;
    TOwnedPtr<TXFormColorData> FAlphaColor;
    TOwnedPtr<TXFormColorData> FColor;
    TOwnedPtr<TXActiveColorData> FCaptionColor;
    TOwnedPtr<TXBorders> FBorder;
};

class TXFormSkinData : public TXCustomFormSkinData {
    X_CLASS(TXFormSkinData, TXCustomFormSkinData)
};

using TXCaptionFrameClass = TClass;

// What a dialog hands the form it shows; a TXForm target takes each value
// at once, a dialog target passes it on to its form.
class TXFormStyle : public TXPersistent {
    X_CLASS(TXFormStyle, TXPersistent)
public:
    void SetDefaults() override;
    bool AssignFrom(TPersistent* Source) override;
    void AssignTo(TPersistent* Dest) override;

    TXCustomFormSkinData* SkinData() const { return FSkinData; }
    void SetSkinData(TXCustomFormSkinData* Value);
    const String& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const String& Value);
    const String& SkinStyle() const { return FSkinStyle; }
    void SetSkinStyle(const String& Value);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value);
    TDefaultMonitor DefaultMonitor() const { return FDefaultMonitor; }
    void SetDefaultMonitor(TDefaultMonitor Value);
    bool optShowTaskBar() const { return FShowTaskBar; }
    void SetoptShowTaskBar(bool Value);

    TXCaptionFrameClass CaptionFrameClass() const { return FCaptionFrameClass; }
    void SetCaptionFrameClass(TXCaptionFrameClass Value) { FCaptionFrameClass = Value; }
    TComponent* Target() const { return FTarget; }
    void SetTarget(TComponent* Value) { FTarget = Value; }
    XSkin::TXSkin* Skin() const { return FSkin; }
    void SetSkin(XSkin::TXSkin* Value) { FSkin = Value; }

    // Resolves the skin, watches the skin data and, unless Form is being
    // destroyed, applies the skin and repaints.
    void ApplySkinData(TXForm* Form);
    // The skin data component went: forgotten.
    void SkinDataFreed() { FSkinData = nullptr; }

private:
    // The form the values go to: a TXForm target, or the TXForm a dialog
    // target shows; null for any other.
    TXForm* TargetForm() const;

    TXCustomFormSkinData* FSkinData = nullptr;
    String FSkinDataName;
    String FSkinStyle;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TPosition FPosition = poDesigned;
    TDefaultMonitor FDefaultMonitor = dmActiveForm;
    bool FShowTaskBar = true;
    TXCaptionFrameClass FCaptionFrameClass = nullptr;
    TComponent* FTarget = nullptr;
    XSkin::TXSkin* FSkin = nullptr;
};

// The translucent backdrop of an alpha-style form: borderless, never
// activated, off the task bar, black.
class TXAlphaForm : public TXWinForm {
    X_CLASS(TXAlphaForm, TXWinForm)
    X_DECLARE_MESSAGES(TXAlphaForm)
public:
    void Create(TComponent* AOwner) override;

    TNotifyEvent OnMouseLeave;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CMMouseLeave(TMessage& Message);
    void WMMouseActivate(TMessage& Message);
};

class TXForm : public TXWinForm, public IXSkinnedForm {
    X_CLASS(TXForm, TXWinForm)
    X_INTERFACES(TXForm, IXSkinnedForm)
    X_NOT_COUNTED
    X_DECLARE_MESSAGES(TXForm)
public:
    void Create(TComponent* AOwner) override;
    ~TXForm() override;

    TXFormStyle* Style() const { return FStyle.get(); }
    TXCustomFormSkinData* SkinData() const { return FStyle->SkinData(); }
    TXAlphaForm* Companion() const { return FCompanion; }
    TXCaptionFrame* CaptionFrame() const { return FCaptionFrame; }
    // The last WM_NCACTIVATE state: which of the skin's colours is used.
    bool ActiveFlag() const { return FActiveFlag; }

    // IXSkinnedForm: the skin the style resolved.
    XSkin::TXSkin* GetFormSkin() override { return FStyle->Skin(); }

    virtual void ResolveSkin();
    virtual void ApplySkin();
    virtual void UpdateWindowRegion();
    // The form's values go to the style, which applies itself again (the
    // skin data once more).
    void Loaded() override;

    TNotifyEvent OnMove;

protected:
    virtual void FormActivated() { }
    virtual void FormDeactivated() { }
    virtual void FormMoved();
    // The companion follows the form; a shown form cuts its region again.
    void FormResized() override;

    void Activate() override;
    void Deactivate() override;
    void DoShow() override;
    void DoHide() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void WMNCHitTest(TMessage& Message);
    void WMNCCalcSize(TMessage& Message);
    void WMNCPaint(TMessage& Message);
    void WMNCActivate(TMessage& Message);
    void WMActivate(TMessage& Message);
    void WMWindowPosChanged(TMessage& Message);
    void CMTextChanged(TMessage& Message);
    void CMControlChange(TMessage& Message);

    // The companion is made when missing, coloured and placed.
    virtual void UpdateCompanion();
    void DropCompanion();
    void CreateCaptionFrame();
    void PlaceCompanion();

private:
    TOwnedPtr<TXFormStyle> FStyle;
    TXAlphaForm* FCompanion = nullptr;
    TXCaptionFrame* FCaptionFrame = nullptr;
    bool FActiveFlag = false;
};

// A borderless pop-up that hides itself when the pointer leaves it.
class TXPopForm : public TXForm {
    X_CLASS(TXPopForm, TXForm)
    X_DECLARE_MESSAGES(TXPopForm)
public:
    void Create(TComponent* AOwner) override;

protected:
    void UpdateCompanion() override;
    void CMMouseLeave(TMessage& Message);
    void LeaveCheck(TObject* Sender);
};

// A window's stored geometry: the DPI and desktop it was stored on, its
// state, client size and place.
class TXWindowScreenState : public TXPersistent {
    X_CLASS(TXWindowScreenState, TXPersistent)
public:
    void Clear() override;

    Integer Scaling() const { return FScaling; }
    void SetScaling(Integer Value) { FScaling = Value; }
    Integer DesktopWidth() const { return FDesktopWidth; }
    void SetDesktopWidth(Integer Value) { FDesktopWidth = Value; }
    Integer DesktopHeight() const { return FDesktopHeight; }
    void SetDesktopHeight(Integer Value) { FDesktopHeight = Value; }
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value) { FWindowState = Value; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }
    Integer Left() const { return FLeft; }
    void SetLeft(Integer Value) { FLeft = Value; }
    Integer Top() const { return FTop; }
    void SetTop(Integer Value) { FTop = Value; }

    bool StoreSize = true;
    bool StorePosition = true;
    bool FitToScreen = true;

    virtual void StoreWindow(TControl* Control);
    // True when the stored values applied; false without a parent form.
    virtual bool RestoreWindow(TControl* Control);

private:
    Integer FScaling = 0;
    Integer FDesktopWidth = 0;
    Integer FDesktopHeight = 0;
    TWindowState FWindowState = wsNormal;
    Integer FWidth = 0;
    Integer FHeight = 0;
    Integer FLeft = 0;
    Integer FTop = 0;
};

// The component is in the designer (its design-time behaviour applies).
inline bool Designing(const TComponent* C)
{
    return C->ComponentState().Contains(csDesigning);
}

// NewName, or the first of NewName1, NewName2... that the component's owner
// accepts; as given at design time and when empty.
String AcceptedComponentName(TComponent* Component, const String& NewName);

// Puts the form among the application object's task-bar forms, or takes
// it out.
void ListOnTaskBar(TComponent* Form, bool Listed);
// Tells the application object that its task-bar forms may have changed.
void RefreshTaskBarForms();

// Moves Form inside Monitor's work area (null: the form's own monitor); the
// left and top edges win; the size stays.
void KeepFormOnMonitor(TCustomForm* Form, TMonitor* Monitor);

// The virtual desktop: the union of the monitors' bounds.
TRect VirtualDesktopRect();

// Opens URL: with a Program, the program gets the URL as its one argument;
// without one, xdg-open does (a URL naming a program never starts it).
// True when something started. ReportFailure is kept for the message box
// that tells of a failure.
bool OpenURL(const String& URL, const String& Program, bool ReportFailure);
// The same for a mail address ("mailto:" put before it when missing).
bool OpenMail(const String& Address, const String& Program, bool ReportFailure);
// Text as one argument of a Windows command line: in double quotes, with
// backslashes and quotes escaped, so splitting gives it back whole.
String QuoteCommandArgument(const String& Text);
