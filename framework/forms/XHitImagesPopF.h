// The pop-up strip a hot desktop panel shows over the wallpaper: one hit
// image per sub-area of the hot spot, in a flow panel; a click hands the
// area's command to the Preview gear, and the strip hides when the mouse
// leaves it.
//
//     auto* Strip = New<TXHitImagesPopForm>(HotPanel);
//     Strip->SetPreview(Gear);
//     Strip->SetHitAreas(HotPanel->HitAreasItem()->Areas(), true, ScaleToDPI(24));
//     HotPanel->SetPopupControl(Strip);
#pragma once
#include "core/XEngine.Gears.h"
#include "forms/XForms.h"
#include "graphics/XControls.h"
#include "graphics/XExtCtrls.FlowPanel.h"

class TXHitImagesPopForm : public TXPopForm {
    X_CLASS(TXHitImagesPopForm, TXPopForm)
public:
    // The flow panel fills the form.
    void Create(TComponent* AOwner) override;

    TXImageAreaCollection* Areas() const { return FAreas.get(); }
    TXFlowPanel* FlowPanel() const { return FFlowPanel; }
    bool Vertical() const { return FVertical; }
    Integer ImageSize() const { return FImageSize; }
    XEngine::TXGear* Preview() const { return FPreview; }
    void SetPreview(XEngine::TXGear* Value);

    // A Size x Size image for each of Areas (copied); the strip is one
    // image thick across Vertical's direction.
    void SetHitAreas(TCollection* Areas, bool Vertical, Integer Size);

protected:
    void InitForm() override;
    void DoneForm() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TOwnedPtr<TXImageAreaCollection> FAreas;
    TXFlowPanel* FFlowPanel = nullptr;
    bool FVertical = false;
    Integer FImageSize = 0;
    XEngine::TXGear* FPreview = nullptr;
};
