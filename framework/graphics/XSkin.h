// Skins and skin data. A skin is a named component holding skin data
// components (how a form, a glyph group or a panel paints) and skin image
// boxes; skins are registered by name in one process-wide list whose
// default is the application skin "xAppSkin". Forms and controls find their
// skin data by name and class and call its paint and hit-test operations:
//
//     auto* Skin = New<XSkin::TXSkin>(DataModule);
//     Skin->AddSkinData(FormSkinData);
//     XSkin::TXSkin::RegisterAs(Skin, u"Blue");       // every form reskins
//     FindSkin(u"Blue")->FindSkinData(u"Form", TXSkinData::StaticClass());
//
// A skin change reaches a form as XM_SKINCHANGED; the form's skin
// components apply their skin again and its skinned controls hear
// SkinChanged. Handlers may free or add controls and forms meanwhile.
//
// The list and the application skin exist from the unit's initialisation
// to its finalisation.
#pragma once
#include "core/XCore.Collections.h"
#include "gdi/Region.h"
#include "graphics/XControls.h"
#include "graphics/XSpark.Skin.Data.h"
#include "rtl/LifeWatch.h"
#include "vcl/Forms.h"

// A skin changed: the form resolves its skin again, skinned controls hear
// SkinChanged.
constexpr UINT XM_SKINCHANGED = WM_APP + 100;

// How a form, glyph group or panel paints. The base paints nothing, hit
// tests everything as the client area and cuts no region but the rounded
// one.
class TXSkinData : public TComponent {
    X_CLASS(TXSkinData, TComponent)
public:
    void Create(TComponent* AOwner) override;

    TXPaintType PaintType() const { return FPaintType; }
    void SetPaintType(TXPaintType Value) { FPaintType = Value; }

    // Form skin data shrinks the rectangle by its borders.
    virtual void AdjustClientRect(TControl* Control, TRect& Rect) { }
    // Form skin data fills the frame in its active or inactive colour.
    virtual void PaintNonClient(TCustomForm* Form, TCanvas* Canvas) { }
    // Glyph group skin data draws the state's background and the glyph.
    virtual void PaintGlyph(TControl* Control, TCanvas* Canvas, TXPaintState State, Integer GlyphIndex,
        const TRect& Rect)
    { }
    // Button group skin data draws the caption in the state's text colour.
    virtual void PaintText(TControl* Control, TCanvas* Canvas, TXPaintState State, const String& Text,
        const TRect& Rect)
    { }
    // The hit-test code of a point in window coordinates.
    virtual Integer HitTestNonClient(TCustomForm* Form, TPoint Point) { return HTCLIENT; }
    // Rounded: a region over the control's bounds (in its parent) with
    // corners of 3 pixels at 96 DPI, scaled to the screen; the caller
    // deletes it. Null otherwise.
    virtual HRGN CreateRegion(TControl* Control, bool Rounded);

    // Paints the form's frame: PaintNonClient on the window's context, cut
    // to the window without the client area.
    static void NCPaint(TXSkinData* SkinData, TCustomForm* Form);
    // Answers WM_NCHITTEST: HitTestNonClient of the message's screen point
    // in the form's window coordinates.
    static void NCHitTest(TXSkinData* SkinData, TCustomForm* Form, TMessage& Message);

private:
    TXPaintType FPaintType = ptSkin;
};

// Skin data components of a skin (not owned; freed ones leave).
class TXSkinDataList : public TXComponentList<TXSkinData> {
    X_CLASS(TXSkinDataList, TXComponentList<TXSkinData>)
public:
    void Create() override { inherited::Create(false); }
};

namespace XSkin {

class TXSkin : public TComponent {
    X_CLASS(TXSkin, TComponent)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    // The name the skin is registered under.
    const String& SkinName() const { return FSkinName; }
    TXSkinDataList* SkinDataList() const { return FSkinData.get(); }
    // The skin's image boxes (not owned; freed ones leave).
    TXSkinImagesList* ImagesList() const { return FImages.get(); }
    Byte State() const { return FState; }

    // The first skin data of the skin that is a Class and whose Name is
    // Name (case-sensitive); null when none is.
    TXSkinData* FindSkinData(const String& Name, TClass Class) const;
    // Lists it once; answers its index.
    Integer AddSkinData(TXSkinData* SkinData);

    // Names the skin, puts it in the list in place of a skin of that name
    // (and of its own entry: a skin is listed once) and reskins every form.
    static void RegisterAs(TXSkin* Skin, const String& Name);

private:
    String FSkinName;
    TOwnedPtr<TXSkinDataList> FSkinData;
    TOwnedPtr<TXSkinImagesList> FImages;
    Byte FState = 0;
};

}

// The registered skins (not owned; freed ones leave).
class TXSkinList : public TXComponentList<XSkin::TXSkin> {
    X_CLASS(TXSkinList, TXComponentList<XSkin::TXSkin>)
public:
    void Create() override { inherited::Create(false); }
};

// The list and the application skin; null outside the unit's lifetime.
TXSkinList* SkinList();
XSkin::TXSkin* AppSkin();
// The registered skin of that name (case-sensitive), else the application
// skin.
XSkin::TXSkin* FindSkin(const String& Name);
// The same without the fallback: null.
XSkin::TXSkin* FindSkinExact(const String& Name);

// The control's bounds (in its parent) with corners of 3 pixels at 96
// DPI, scaled to the screen; the caller deletes the region.
HRGN CreateRoundedBoundsRegion(TControl* Control);

// Every form of the screen hears XM_SKINCHANGED and BroadcastSkinChanged.
void ReskinAllForms();
// ApplySkin on every skin component of the form (or of a panel that owns
// some), then XM_SKINCHANGED to its controls.
void BroadcastSkinChanged(TWinControl* Form);

// A form that paints with a skin answers it here; the skinned forms of the
// forms layer do.
struct IXSkinnedForm : IInterface {
    X_GUID("{B2E0C6D1-5F3A-4C8E-9A71-3D6E2B8F4C15}");
    virtual XSkin::TXSkin* GetFormSkin() = 0;
};

// The skin data of that name and class in the skin of the control's form;
// null without a skinned form.
TXSkinData* FindFormSkinData(TControl* Control, const String& Name, TClass Class);
// The same for a component without a window: its form comes from the first
// windowed control among its owners.
TXSkinData* FindGroupSkinData(TComponent* Component, const String& Name, TClass Class);

// A component that paints with skin data it finds by SkinDataName.
class TXSkinComponent : public TComponent {
    X_CLASS(TXSkinComponent, TComponent)
public:
    const String& SkinDataName() const { return FSkinDataName; }
    // A new name applies the skin again.
    void SetSkinDataName(const String& Value);
    TXSkinData* SkinData() const { return FSkinData; }
    // Binds Value (told when it goes) and calls SkinDataChanged, unless the
    // component is being destroyed.
    void BindSkinData(TXSkinData* Value);

    // Descendants look their skin data up again.
    virtual void ApplySkin() { }
    virtual void SkinDataChanged() { }

    TLifeMark& LifeMark() { return FLife; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TLifeMark FLife;
    String FSkinDataName;
    TXSkinData* FSkinData = nullptr;
};

namespace XDetail {
void DrawSkinDesignOutline(TCanvas* Canvas, const TRect& R);
}

// What skinned graphic and custom controls share: bound skin data (told
// when it goes: the reference is cleared and the control repainted), a
// hot flag that follows the mouse, and SkinChanged on XM_SKINCHANGED.
template<class TBase>
class TXSkinControlOf : public TBase {
    X_CLASS_TEMPLATE(TXSkinControlOf, TBase, u"TXSkinControlOf<T>")
public:
    TXSkinData* SkinData() const { return FSkinData; }
    void SetSkinData(TXSkinData* Value)
    {
        if (Value == FSkinData)
            return;
        if (FSkinData)
            FSkinData->RemoveFreeNotification(this);
        FSkinData = Value;
        if (Value)
            Value->FreeNotification(this);
    }
    // The mouse is over the control.
    bool Hot() const { return FHot; }
    virtual void SkinChanged() { }

protected:
    virtual void DoMouseEnter() { this->Fire(this->OnMouseEnter); }
    virtual void DoMouseLeave() { this->Fire(this->OnMouseLeave); }

    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        inherited::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent == FSkinData) {
            FSkinData = nullptr;
            if (!this->ComponentState().Contains(csDestroying))
                this->Invalidate();
        }
    }
    // Only the designer sees the control itself: a dashed outline.
    void Paint() override
    {
        if (this->ComponentState().Contains(csDesigning))
            XDetail::DrawSkinDesignOutline(this->Canvas(), this->ClientRect());
    }

    void CMMouseEnter(TMessage& Message)
    {
        FHot = true;
        DoMouseEnter();
    }
    void CMMouseLeave(TMessage& Message)
    {
        FHot = false;
        DoMouseLeave();
    }
    void XMSkinChanged(TMessage& Message) { SkinChanged(); }

private:
    TXSkinData* FSkinData = nullptr;
    bool FHot = false;
};

class TXSkinGraphicControl : public TXSkinControlOf<TGraphicControl> {
    X_CLASS(TXSkinGraphicControl, TXSkinControlOf<TGraphicControl>)
    X_DECLARE_MESSAGES(TXSkinGraphicControl)
};

class TXSkinCustomControl : public TXSkinControlOf<TCustomControl> {
    X_CLASS(TXSkinCustomControl, TXSkinControlOf<TCustomControl>)
    X_DECLARE_MESSAGES(TXSkinCustomControl)
};
