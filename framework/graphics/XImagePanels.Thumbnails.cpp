#include "core/XCore.Strings.Utils.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "graphics/XImagePanels.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XSpark.VCL.h"
#include "vcl/Forms.h"
#include "vcl/MessageMap.h"

X_REGISTER_CLASS(TXICustomThnPanel)
X_REGISTER_CLASS(TXIThnPanel)
X_REGISTER_CLASS(TXITemplatePanel)
X_REGISTER_CLASS(TXIThnPanels)

X_MESSAGES(TXIThnPanel)
{
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
}

X_PUBLISHED(TXIThnPanels)
{
    X_PROP(Border, Size<0>, SetSize<0>).Default(4);
    X_PROP(ThnWidth, Size<1>, SetSize<1>).Default(128);
    X_PROP(ThnHeight, Size<2>, SetSize<2>).Default(96);
    X_PROP(TitleType, TitleType, SetTitleType).Default(tiNone);
    X_PROP(TitlePosition, TitlePosition, SetTitlePosition).Default(tpThn);
    X_PROP(BgColor, BgColor, SetBgColor).Default(clWhite);
    X_PROP(optCheckBox, optCheckBox, SetoptCheckBox).Default(false);
    X_PROP(optKeepAspectRatio, optKeepAspectRatio, SetoptKeepAspectRatio).Default(true);
    X_PROP(optShowButtonsHint, optShowButtonsHint, SetoptShowButtonsHint).Default(false);
}

// ---- gear ----

void TXIThnPanels::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetPanelClass(TXIThnPanel::StaticClass());
}

void TXIThnPanels::BeforeDestruction()
{
    inherited::BeforeDestruction();
    FThumbnails.Clear();
    Bind(FBoxes.Plain, nullptr);
    Bind(FBoxes.Hot, nullptr);
    Bind(FBoxes.Disabled, nullptr);
}

void TXIThnPanels::Bind(TXSkinImagesBox*& Slot, TXSkinImagesBox* Box)
{
    if (Slot == Box)
        return;
    TXSkinImagesBox* Old = Slot;
    Slot = Box;
    // Another slot may still hold the old box.
    if (Old && Old != FBoxes.Plain && Old != FBoxes.Hot && Old != FBoxes.Disabled)
        Old->RemoveFreeNotification(this);
    if (Box)
        Box->FreeNotification(this);
    FGeometryValid = false;
}

void TXIThnPanels::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    for (TXSkinImagesBox** Slot : { &FBoxes.Plain, &FBoxes.Hot, &FBoxes.Disabled })
        if (*Slot == AComponent) {
            *Slot = nullptr;
            FGeometryValid = false;
        }
}

void TXIThnPanels::SetThnSize(Integer Index, Integer Value)
{
    FSizes[size_t(std::clamp(Index, 0, 2))] = std::max(Value, 0);
    UpdateLayout();
}

void TXIThnPanels::SetTitlePosition(TXThnTitlePosition Value)
{
    FTitlePosition = Value;
    UpdateLayout();
}

void TXIThnPanels::UpdateLayout()
{
    if (ComponentState().Contains(csDesigning))
        return;
    FGeometryValid = false;
}

void TXIThnPanels::Loaded()
{
    inherited::Loaded();
    UpdateLayout();
}

const TXThnGeometry& TXIThnPanels::Geometry()
{
    std::vector<TXSize> Buttons = ButtonSizes(FBoxes.Plain);
    const bool Same = FGeometryValid && Buttons.size() == FGeometryButtons.size()
        && std::equal(Buttons.begin(), Buttons.end(), FGeometryButtons.begin(),
            [](const TXSize& A, const TXSize& B) { return A.Width == B.Width && A.Height == B.Height; });
    if (!Same) {
        const TFont* Font = SharedFonts(0);
        FGeometry = ThnGeometry(
            { Border(), ThnWidth(), ThnHeight(), FTitlePosition, FCheckBox, Font ? Font->Height() : 0 }, Buttons);
        FGeometryButtons = std::move(Buttons);
        FGeometryValid = true;
    }
    return FGeometry;
}

void TXIThnPanels::SetThumbnailSize(Integer Width, Integer Height, Integer ABorder)
{
    FSizes[1] = std::max(Width, 0);
    FSizes[2] = std::max(Height, 0);
    SetThnSize(0, ABorder);
    // The panels take the new cell, or they would paint the new geometry
    // in their old size.
    for (Integer G = 0; G < Groups()->Count(); ++G) {
        TXIPanelList* List = Groups()->GetItem(G);
        for (Integer I = 0; I < List->Count(); ++I)
            List->Items(I)->LoadData();
    }
    Relayout();
    UpdateThumbnailBudget();
}

void TXIThnPanels::UpdateThumbnailBudget()
{
    // Four screens of the host's visible area, and never less than a row
    // of cells: enough to scroll back and forth without drawing again.
    const TXThnGeometry& G = Geometry();
    const size_t Cell = size_t(std::max(G.ThumbRect.Width(), 1)) * size_t(std::max(G.ThumbRect.Height(), 1)) * 3;
    const size_t Visible = Host() ? size_t(std::max(Host()->ClientWidth(), 1)) * size_t(std::max(Host()->ClientHeight(), 1)) * 3 : 0;
    FThumbnails.SetBudget(std::max(4 * Visible, 16 * Cell));
}

// ---- panels ----

TXIThnPanels* TXICustomThnPanel::ThnPanels() const
{
    return DynamicCast<TXIThnPanels>(Panels());
}

void TXICustomThnPanel::LoadData()
{
    if (TXIThnPanels* Gear = ThnPanels())
        SetBounds(Left(), Top(), Gear->CellWidth(), Gear->CellHeight());
}

void TXICustomThnPanel::BeforeDestruction()
{
    if (TXIThnPanels* Gear = ThnPanels())
        Gear->Thumbnails()->Forget(this);
    inherited::BeforeDestruction();
}

String TXICustomThnPanel::TitleText()
{
    TXIThnPanels* Gear = ThnPanels();
    if (!Gear)
        return {};
    switch (Gear->TitleType()) {
    case tiIndex:
        return IntToStr(Index() + 1);
    case tiSize:
        if (auto* Item = DynamicCast<TXImageItem>(Data()))
            return SizeToText(Item->ImageData()->Width(), Item->ImageData()->Height());
        return {};
    default:
        return {};
    }
}

void TXICustomThnPanel::DrawThumbnail(TXImageItem* Item, bool KeepAspectRatio, TColor Ground)
{
    TXIThnPanels* Gear = ThnPanels();
    const TRect Thumb = Gear->Geometry().ThumbRect;
    TCanvas* C = Canvas();
    if (TBitmap* Drawn = Gear->Thumbnails()->Thumbnail(this, Item,
            { Thumb.Width(), Thumb.Height(), KeepAspectRatio, Ground })) {
        C->Draw(Thumb.Left, Thumb.Top, Drawn);
        return;
    }
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Ground);
    C->FillRect(Thumb);
}

void TXICustomThnPanel::DrawThumbnailBevel()
{
    TXIThnPanels* Gear = ThnPanels();
    const TRect Thumb = Gear->Geometry().ThumbRect;
    const TColor Base = Gear->Colors(Selected() ? picSelectedItem : picItem);
    DrawBevelFrame(Canvas(), Rect(Thumb.Left - 1, Thumb.Top - 1, Thumb.Right + 1, Thumb.Bottom + 1),
        GetShadowColor(Base), GetHighLightColor(Base));
}

void TXICustomThnPanel::DrawShadowedTitle(const String& Text)
{
    TXIThnPanels* Gear = ThnPanels();
    if (!Gear || Text.empty())
        return;
    const TRect R = Gear->Geometry().TitleRect;
    TCanvas* C = Canvas();
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetColor(clBlack);
    C->TextOut(R.Left + 1, R.Top + 1, Text);
    C->Font()->SetColor(clWhite);
    C->TextOut(R.Left, R.Top, Text);
}

void TXIThnPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FCheckBox = New<TXCheckBox>(this);
    FCheckBox->SetCaption(u"");
    FCheckBox->SetBounds(0, 0, ScaleToDPI(13), ScaleToDPI(13));
    FCheckBox->SetVisible(false);
    FCheckBox->OnClick = [this](TObject*) { CheckBoxClicked(); };
    FCheckBox->SetParent(this);
    SetShowHint(true);
}

void TXIThnPanel::LoadData()
{
    inherited::LoadData();
    TXIThnPanels* Gear = ThnPanels();
    if (!Gear)
        return;
    const TRect Thumb = Gear->Geometry().ThumbRect;
    FCheckBox->SetBounds(Thumb.Left + ScaleToDPI(4), Thumb.Top + ScaleToDPI(4), ScaleToDPI(13), ScaleToDPI(13));
    FCheckBox->SetVisible(Gear->optCheckBox());
}

void TXIThnPanel::UpdateCheck()
{
    FCheckBox->SetChecked(Checked());
}

void TXIThnPanel::CheckBoxClicked()
{
    if (FCheckBox->Checked() != Checked())
        SetChecked(FCheckBox->Checked());
}

Integer TXIThnPanel::ButtonAt(Integer X, Integer Y)
{
    TXIThnPanels* Gear = ThnPanels();
    if (!Gear)
        return -1;
    const std::vector<TRect>& Rects = Gear->Geometry().ButtonRects;
    for (size_t I = 0; I < Rects.size(); ++I)
        if (X >= Rects[I].Left && X < Rects[I].Right && Y >= Rects[I].Top && Y < Rects[I].Bottom)
            return Integer(I);
    return -1;
}

Integer TXIThnPanel::GetHotHit(Integer X, Integer Y)
{
    const Integer Button = ButtonAt(X, Y);
    const Integer Hit = Button >= 0 ? 30 + Button : 0;
    TXIThnPanels* Gear = ThnPanels();
    TLifeWatch Watch(LifeMark());
    if (Button >= 0) {
        SetCursor(crHandPoint);
        TXSkinImagesBox* Box = Gear ? Gear->ButtonImages() : nullptr;
        if (Gear && Gear->optShowButtonsHint() && Box && Button < Box->Images()->Count())
            if (const String Name = Box->Images()->Items(Button)->DisplayName(); Name != Hint()) {
                // The button's name shows at once, not after the pause of a
                // control's hint: the pointer has been over the panel.
                Application->CancelHint();
                SetHint(Name);
                Application->ActivateHint(ClientToScreen({ X, Y }));
                if (Watch.Freed())
                    return 0;
            }
    } else {
        SetCursor(crDefault);
        if (!Hint().empty()) {
            SetHint(u"");
            Application->CancelHint();
        }
    }
    if (Hit != FHotButton) {
        FHotButton = Hit;
        Invalidate();
    }
    return Hit;
}

Integer TXIThnPanel::GetLeftHit(Integer X, Integer Y)
{
    const Integer Button = ButtonAt(X, Y);
    return Button >= 0 ? 30 + Button : 0;
}

void TXIThnPanel::CMMouseLeave(TMessage& Message)
{
    if (FHotButton != 0) {
        FHotButton = 0;
        Invalidate();
    }
}

void TXIThnPanel::Paint()
{
    // Scrolled out of sight: nothing of it shows, so nothing is decoded.
    if (Canvas()->ClipRect().IsEmpty())
        return;
    inherited::Paint();
    TXIThnPanels* Gear = ThnPanels();
    auto* Item = DynamicCast<TXImageItem>(Data());
    if (!Gear || !Item)
        return;
    DrawThumbnail(Item, Gear->optKeepAspectRatio(), Gear->BgColor());
    DrawThumbnailBevel();
    DrawShadowedTitle(TitleText());
    PaintButtons();
}

void TXIThnPanel::PaintButtons()
{
    TXIThnPanels* Gear = ThnPanels();
    const std::vector<TRect> Rects = Gear->Geometry().ButtonRects;
    TLifeWatch Watch(LifeMark());
    for (size_t I = 0; I < Rects.size(); ++I) {
        bool Enabled = true;
        if (Gear->OnItemButtonEnabled) {
            const TXThnButtonEnabledEvent Call = Gear->OnItemButtonEnabled;
            Call(this, Integer(I), Enabled);
            if (Watch.Freed() || ThnPanels() != Gear)
                return;
        }
        const bool Hot = FHotButton == 30 + Integer(I);
        TXImageObject* Image = ThnButtonImage(Gear->ButtonBoxes(), Integer(I), Enabled, Hot);
        if (!Image)
            continue;
        // Icons give their best-fitting entry; other pictures are stretched.
        if (Image->IsIcon())
            DrawIconStream(Canvas(), Rects[I], Image->DataStream());
        else
            DrawImageObjectStretch(Canvas(), Rects[I], Image, XLanczosKernel());
    }
}

String TXITemplatePanel::TitleText()
{
    TXIThnPanels* Gear = ThnPanels();
    auto* Item = DynamicCast<TXTemplateItem>(Data());
    if (!Gear || !Item)
        return {};
    switch (Gear->TitleType()) {
    case tiID:
        return Item->DisplayName();
    case tiTitle:
        return Item->Caption()->GetText(GetCurrentLgID(), true);
    default:
        return inherited::TitleText();
    }
}

void TXITemplatePanel::Paint()
{
    if (Canvas()->ClipRect().IsEmpty())
        return;
    inherited::Paint();
    TXIThnPanels* Gear = ThnPanels();
    auto* Item = DynamicCast<TXTemplateItem>(Data());
    if (!Gear || !Item)
        return;
    // Themed: on the panel's own colour, without a bevel.
    const bool Themed = Gear->Themed();
    DrawThumbnail(Item, true, Themed ? Gear->Colors(picItem) : Gear->BgColor());
    if (!Themed)
        DrawThumbnailBevel();
    const TXThnGeometry& G = Gear->Geometry();
    TCanvas* C = Canvas();
    const String Title = TitleText();
    if (Title.empty())
        return;
    if (Gear->TitlePosition() != tpThn) {
        C->Brush()->SetStyle(bsClear);
        C->Font()->SetColor(Gear->Colors(picCaption));
        TRect Out;
        DrawTextInRect(C, G.TitleRect, Title, Out, false, fqDefault, xepEndEllipsis, false, taCenter, 2);
    } else {
        DrawShadowedTitle(Title);
    }
}
