#include "forms/XHitImagesPopF.h"
#include "graphics/XImageCtrls.h"

X_REGISTER_CLASS(TXHitImagesPopForm)

namespace {

// The image's clicks go to Gear's Command at once (the image itself waits
// the 50 ms); none without a gear.
void BindCommand(TXHitImage* Image, XEngine::TXGear* Gear)
{
    Image->OnCommand.SetMethod(
        Gear ? TMethod { MethodAddress(Gear->ClassType(), u"Command"), Gear } : TMethod {});
}

}

void TXHitImagesPopForm::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FFlowPanel = New<TXFlowPanel>(static_cast<TComponent*>(this));
    FFlowPanel->SetAlign(alClient);
    FFlowPanel->SetParent(this);
}

void TXHitImagesPopForm::InitForm()
{
    inherited::InitForm();
    FAreas.reset(New<TXImageAreaCollection>(static_cast<TPersistent*>(nullptr)));
}

void TXHitImagesPopForm::DoneForm()
{
    FAreas.reset();
    inherited::DoneForm();
}

void TXHitImagesPopForm::SetPreview(XEngine::TXGear* Value)
{
    if (FPreview)
        FPreview->RemoveFreeNotification(this);
    FPreview = Value;
    if (Value)
        Value->FreeNotification(this);
    for (Integer I = 0; FFlowPanel && I < FFlowPanel->ControlCount(); ++I)
        if (auto* Image = DynamicCast<TXHitImage>(FFlowPanel->Controls(I)))
            BindCommand(Image, Value);
}

void TXHitImagesPopForm::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FFlowPanel)
        FFlowPanel = nullptr;
    // The images must not call a gear that is gone.
    else if (AComponent == FPreview)
        SetPreview(nullptr);
}

void TXHitImagesPopForm::SetHitAreas(TCollection* Areas, bool Vertical, Integer Size)
{
    FVertical = Vertical;
    FImageSize = Size;
    if (!FFlowPanel || !FAreas)
        return;
    while (FFlowPanel->ControlCount() > 0)
        FFlowPanel->Controls(FFlowPanel->ControlCount() - 1)->Free();
    FAreas->Clear();
    if (Areas)
        FAreas->Assign(Areas);
    const Integer Thickness = 2 * FFlowPanel->HorzSpacing() + Size;
    if (Vertical)
        SetClientWidth(Thickness);
    else
        SetClientHeight(Thickness);
    for (Integer I = 0; I < FAreas->Count(); ++I) {
        auto* Image = New<TXHitImage>(static_cast<TComponent*>(this));
        Image->SetBounds(0, 0, Size, Size);
        Image->SetPosition(ipStretch);
        Image->SetResample(true);
        Image->SetHitArea(FAreas->GetItem(I));
        Image->SetParent(FFlowPanel);
        BindCommand(Image, FPreview);
        Image->OnMouseLeave = [this](TObject* Sender) { LeaveCheck(Sender); };
    }
}
