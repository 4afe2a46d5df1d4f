// The framework's own control bases and the routines that place controls
// and forms, draw dividers and adjust window parameters; and the shared UI
// objects: ten fonts made from the screen's message and caption fonts, a
// white brush and a 32-bit work bitmap.
//
// TXGraphicControl (no window) and TXCustomControl (a window) each own a
// control skin, which is their observable: subscribers hear that the
// control moved, was sized (graphic controls) or lost the focus (windowed
// ones), and that its skin changed. Dialogs place them through IXControl:
//
//     Panel->Subscribe(TXSizeChangedAspect::StaticClass(), Handler);
//     IPtr<IXControl<TWinControl>> C = Supports<IXControl<TWinControl>>(Panel);
//     C->PlaceInto(Form, alClient);
//
// A TXCustomControl answers WM_NCHITTEST with its HitTest; with
// DragsParentForm a press on a part it calls caption (HTCAPTION) moves its
// form.
//
// The shared objects exist from the unit's initialisation to its
// finalisation.
#pragma once
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Interfaces.h"
#include "graphics/XSpark.VCL.Skins.h"
#include "vcl/Forms.h"
#include <typeinfo>

// How a group panel draws its frame.
enum TXFrameStyle { xfsNone, xfsGroupBox, xfsDivider };

// A control that dialogs and composers place, size and scale.
template<class TParent>
struct IXControl : IInterface {
    static inline const TGUID IID =
        XDetail::InstanceGuid(TGUID::Parse("{6E4F1C2A-8B3D-4A57-9C61-2F0D7B5E9A13}"), typeid(TParent).name());
    virtual TRect GetControlBounds() = 0;
    virtual void SetControlBounds(const TRect& Value) = 0;
    virtual Integer GetClientWidth() = 0;
    virtual void SetClientWidth(Integer Value) = 0;
    virtual Integer GetClientHeight() = 0;
    virtual void SetClientHeight(Integer Value) = 0;
    virtual bool GetVisible() = 0;
    virtual void SetVisible(bool Value) = 0;
    virtual IXObservable* GetObservable() = 0;
    // Sets the parent, the alignment unless alNone, and shows the control.
    virtual void PlaceInto(TParent* Parent, TAlign Align) = 0;
    // From 96 pixels per inch to the screen's.
    virtual void ScaleToScreen() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

// A control of the class library with a control skin as its observable
// (made with the control, freed with it) and the control interface.
template<class TBase>
class TXControlOf : public TBase, public virtual IXObservable, public IXControl<TWinControl> {
    X_CLASS_TEMPLATE(TXControlOf, TBase, u"TXControlOf<T>")
    X_INTERFACES(TXControlOf, IXObservable, IXControl<TWinControl>)
    X_NOT_COUNTED
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        FSkin.reset(New<TXControlSkin>(static_cast<TControl*>(this)));
    }

    TXControlSkin* ControlSkin() const { return FSkin.get(); }

    // IXControl
    TRect GetControlBounds() override { return this->BoundsRect(); }
    void SetControlBounds(const TRect& Value) override { this->SetBoundsRect(Value); }
    Integer GetClientWidth() override { return this->ClientWidth(); }
    void SetClientWidth(Integer Value) override { TBase::SetClientWidth(Value); }
    Integer GetClientHeight() override { return this->ClientHeight(); }
    void SetClientHeight(Integer Value) override { TBase::SetClientHeight(Value); }
    bool GetVisible() override { return this->Visible(); }
    void SetVisible(bool Value) override { TBase::SetVisible(Value); }
    IXObservable* GetObservable() override { return FSkin.get(); }
    void PlaceInto(TWinControl* AParent, TAlign AAlign) override
    {
        this->SetParent(AParent);
        if (AAlign != alNone)
            this->SetAlign(AAlign);
        TBase::SetVisible(true);
    }
    void Show() override { TBase::SetVisible(true); }
    void Hide() override { TBase::SetVisible(false); }

    // IXObservable, through the control skin.
    void SubscribeTopic(const String& Topic, TClass AspectClass, const TXNotificationHandler& Handler) override
    {
        FSkin->SubscribeTopic(Topic, AspectClass, Handler);
    }
    void Subscribe(TClass AspectClass, const TXNotificationHandler& Handler) override
    {
        FSkin->Subscribe(AspectClass, Handler);
    }
    void SubscribeAll(const TXNotificationHandler& Handler) override { FSkin->SubscribeAll(Handler); }
    void SubscribeTopicKeeper(const String& Topic, TClass AspectClass, IPtr<IXObserverKeeper>& Keeper,
        const TXKeeperCallback& Callback, const TXNotificationHandler& Handler) override
    {
        FSkin->SubscribeTopicKeeper(Topic, AspectClass, Keeper, Callback, Handler);
    }
    void SubscribeKeeper(TClass AspectClass, IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
        const TXNotificationHandler& Handler) override
    {
        FSkin->SubscribeKeeper(AspectClass, Keeper, Callback, Handler);
    }
    void SubscribeAllKeeper(IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
        const TXNotificationHandler& Handler) override
    {
        FSkin->SubscribeAllKeeper(Keeper, Callback, Handler);
    }
    // The skin goes with the control: later calls to end or tell find
    // nothing to do.
    void Unsubscribe(TClass AspectClass, const TXNotificationHandler& Handler) override
    {
        if (FSkin)
            FSkin->Unsubscribe(AspectClass, Handler);
    }
    void UnsubscribeMethod(const TXNotificationHandler& Handler) override
    {
        if (FSkin)
            FSkin->UnsubscribeMethod(Handler);
    }
    void UnsubscribeComponent(TObject* Component) override
    {
        if (FSkin)
            FSkin->UnsubscribeComponent(Component);
    }
    void UnsubscribeObject(IInterface* Intf) override
    {
        if (FSkin)
            FSkin->UnsubscribeObject(Intf);
    }
    void UnsubscribeKeeper(IXObserverKeeper* Keeper) override
    {
        if (FSkin)
            FSkin->UnsubscribeKeeper(Keeper);
    }
    void Broadcast(IXNotification* Notification) override
    {
        if (FSkin)
            FSkin->Broadcast(Notification);
    }
    void SendNotification(IXNotification* Notification) override
    {
        if (FSkin)
            FSkin->SendNotification(Notification);
    }
    void PostNotification(IXNotification* Notification) override
    {
        if (FSkin)
            FSkin->PostNotification(Notification);
    }
    TObject* GetObservableContainer() override { return this; }

private:
    TOwnedPtr<TXControlSkin> FSkin;
};

// A windowless control: tells its observers, and OnMoved and OnSized, when
// its bounds change.
class TXGraphicControl : public TXControlOf<TGraphicControl> {
    X_CLASS(TXGraphicControl, TXControlOf<TGraphicControl>)
public:
    // Moved first (left or top changed), then size-changed (width or
    // height changed).
    void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
    void ScaleToScreen() override;

    TNotifyEvent OnMoved;
    TNotifyEvent OnSized;

private:
    // Broadcasts, then runs Handler; false once the control is freed.
    bool Tell(const IPtr<IXNotification>& Notification, const TNotifyEvent& Handler);
};

// A windowed control with a hit test of its own, telling its observers
// when it loses the focus.
class TXCustomControl : public TXControlOf<TCustomControl> {
    X_CLASS(TXCustomControl, TXControlOf<TCustomControl>)
    X_DECLARE_MESSAGES(TXCustomControl)
public:
    // Both: notifications to the observers, messages to the children.
    using TXControlOf<TCustomControl>::Broadcast;
    using TWinControl::Broadcast;
    void ScaleToScreen() override;
    // The hit code of a client point: HTCLIENT here.
    virtual LRESULT HitTest(TPoint Point);
    // A press where HitTest answers a caption or frame code moves or sizes
    // the form the control lives on.
    bool DragsParentForm() const { return FDragsParentForm; }
    void SetDragsParentForm(bool Value) { FDragsParentForm = Value; }
    // Offers messages to the style engine first while the skin's style
    // styles controls.
    void WndProc(TMessage& Message) override;

protected:
    void DoExit() override;
    void WMNCHitTest(TMessage& Message);
    void WMNCLButtonDown(TMessage& Message);

private:
    bool FDragsParentForm = false;
};

// Offers Message to the style engine for Control first while Skin's style
// styles controls; true when the engine handled it or the control went
// (the control's own handling is then skipped).
bool OfferStyleMessage(TWinControl* Control, TXControlSkin* Skin, TMessage& Message);
// Tells Observers that Control lost the focus.
void TellFocusChanged(TControl* Control, IXObservable* Observers);

// The form a control lives on: a windowless control's search starts at its
// parent, a windowed one's at itself; null when there is none.
TCustomForm* FindParentForm(TComponent* Component);
// The first windowed control among the component and its owners, then its
// parent form.
TCustomForm* FindOwnerForm(TComponent* Component);
// Centred in a Width x Height area (at 0 where the area is narrower or
// lower than the control); the size stays.
void CenterControlInArea(TControl* Control, Integer Width, Integer Height);
void SizeControlToScreen(TControl* Control);
// csParentBackground on and csOpaque off, or the reverse; a windowed
// control's window is made again.
void SetParentBackground(TControl* Control, bool On);
void SetTransparentParams(TCreateParams& Params, bool On);
void SetPopupWindowParams(TCreateParams& Params);
// A divider line across R, centred vertically: the style's own separator
// for the system style, else a shadow and a highlight line in the style's
// colours.
void DrawStyledDivider(TCanvas* Canvas, TCustomStyleServices* Style, const TRect& R);
// A divider in the shadow (above) and highlight (below) of Color.
void DrawColorDivider(TCanvas* Canvas, TColor Color, const TRect& R);
bool GetStyleHookCallDefaultProc(TStyleHook* Hook);
// Counted notifications carrying Aspect (taken over), the control as
// sender.
IPtr<IXNotification> CreateMovedNotification(TControl* Control, TXMovedAspect* Aspect);
IPtr<IXNotification> CreateSizeChangedNotification(TControl* Control, TXSizeChangedAspect* Aspect);
IPtr<IXNotification> CreateFocusChangedNotification(TControl* Control, TXFocusChangedAspect* Aspect);

// The colour Luminance steps (of 240) darker or lighter in the HSL model.
TColor GetShadowColor(TColor Color, Integer Luminance = -50);
TColor GetHighLightColor(TColor Color, Integer Luminance = 19);

// The shared fonts, 0 to 9: 0 the message font, 1 a point smaller, 2 at
// 10 points, 3 bold, 4 bold at 10 points, 5 three points larger in
// clHotLight, 6 a link, 7 a link under the mouse (underlined), 8 the
// caption font, 9 the caption font (Calibri beside a Segoe message font).
constexpr Integer SharedFontCount = 10;
TFont* SharedFonts(Integer Index);
// Reads the screen's fonts into the shared fonts again.
void InitSharedFonts();
TBrush* SharedWhiteBrush();
TBitmap* SharedWorkBitmap();
