#include "graphics/XImageCtrls.h"
#include "core/XCore.Errors.h"
#include "graphics/XMedia.Drawing.h"
#include "core/XPlatform.Utils.h"
#include "graphics/XMedia.Resample.h"
#include "win/Input.h"

X_REGISTER_CLASS(TXHitImage)
X_REGISTER_CLASS(TXCustomGlyphGroupSkinData)
X_REGISTER_CLASS(TXGlyphGroupSkinData)
X_REGISTER_CLASS(TXLayerGlyphGroupSkinData)
X_REGISTER_CLASS(TXLayerGlyphButtonGroupSkinData)
X_REGISTER_CLASS(TXGlyphGroup)
X_REGISTER_CLASS(TXGlyph)

X_PUBLISHED(TXHitImage)
{
    X_EVENT(OnCommand, OnCommand);
}

X_PUBLISHED(TXGlyphGroupSkinData)
{
    X_PROP_READONLY(ImageData, ImageData);
}

X_PUBLISHED(TXLayerGlyphGroupSkinData)
{
    X_PROP_READONLY(ImageData, ImageData);
}

X_PUBLISHED(TXLayerGlyphButtonGroupSkinData)
{
    X_PROP_READONLY(TextColor, TextColor);
}

X_PUBLISHED(TXGlyphGroup)
{
    X_PROP(SkinData, GlyphSkinData, SetSkinData);
    X_PROP(Width, Width, SetWidth).Default(24);
    X_PROP(Height, Height, SetHeight).Default(24);
    X_PROP(Toggle, Toggle, SetToggle).Default(false);
    X_PROP(Exclusive, Exclusive, SetExclusive).Default(false);
}

X_PUBLISHED(TXGlyph)
{
    X_PROP(CheckState, CheckState, SetCheckState).Default(cstOff);
    X_PROP(Group, Group, SetGroup);
    X_PROP(ImageName, ImageName, SetImageName);
}

namespace {

// The image at Index of Box; null when either is missing or out of range.
TXImageObject* BoxImage(TXSkinImagesBox* Box, Integer Index)
{
    if (!Box || Index < 0 || Index >= Box->Images()->Count())
        return nullptr;
    return Box->Images()->Items(Index)->ImageData();
}

Integer IndexInBox(TXSkinImagesBox* Box, const String& Name)
{
    return Box ? Box->Images()->IndexOfName(Name) : -1;
}

}

// ---- hit image ----

void TXHitImage::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FHitItem.reset(New<TXHitImageAreaItem>(nullptr));
}

void TXHitImage::SetHitArea(TXHitAreaItem* Area)
{
    if (!Area)
        return;
    SetCursor(Area->Cursor());
    SetHint(Area->Hint());
    FHitItem->Assign(Area);
    AssignImage(FHitItem->Image());
}

void TXHitImage::Click()
{
    TLifeWatch Watch(LifeMark());
    inherited::Click();
    if (Watch.Freed())
        return;
    POINT P {};
    GetCursorPos(&P);
    const Integer Monitor = GetPointMonitorIndex(P, MONITOR_DEFAULTTOPRIMARY);
    if (FHitItem->Execute() || Watch.Freed() || !OnCommand)
        return;
    ScheduleCommand(50, Monitor, FHitItem->Hit(), OnCommand, FHitItem->DisplayName(), FHitItem->Command(),
        FHitItem->Args());
}

// ---- glyph skin data ----

void TXGlyphGroupSkinData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FImageData.reset(New<TXGlyphImageData>(nullptr));
}

void TXGlyphGroupSkinData::PaintGlyph(TControl* Control, TCanvas* Canvas, TXPaintState State, Integer GlyphIndex,
    const TRect& Rect)
{
    if (TXImageObject* Image = BoxImage(FImageData->Images(State), GlyphIndex))
        DrawImageObjectStretch(Canvas, Rect, Image, XLanczosKernel());
}

Integer TXGlyphGroupSkinData::IndexOfImage(const String& Name)
{
    return IndexInBox(FImageData->Images(cstOff), Name);
}

void TXLayerGlyphGroupSkinData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FImageData.reset(New<TXLayerGlyphImageData>(nullptr));
}

void TXLayerGlyphGroupSkinData::PaintGlyph(TControl* Control, TCanvas* Canvas, TXPaintState State,
    Integer GlyphIndex, const TRect& Rect)
{
    XGuarded(xecNone, false, [&] {
        if (TXImageObject* Background = BoxImage(FImageData->Images(), FImageData->ImageIndex(State)))
            DrawImageObjectStretch(Canvas, Rect, Background, XLanczosKernel());
        TXImageObject* Glyph = BoxImage(FImageData->GlyphImages(), GlyphIndex);
        if (!Glyph)
            return;
        if (Control->Enabled())
            DrawImageObjectStretch(Canvas, Rect, Glyph, XLanczosKernel());
        else
            DrawImageObjectOpacity(Canvas, Rect, 127, XLanczosKernel(), Glyph);
    });
}

Integer TXLayerGlyphGroupSkinData::IndexOfImage(const String& Name)
{
    return IndexInBox(FImageData->GlyphImages(), Name);
}

void TXLayerGlyphButtonGroupSkinData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FTextColor.reset(New<TXColorData>());
}

void TXLayerGlyphButtonGroupSkinData::PaintText(TControl* Control, TCanvas* Canvas, TXPaintState State,
    const String& Text, const TRect& Rect)
{
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->Font()->SetColor(FTextColor->Colors(State));
    TRect Out;
    DrawTextInRect(Canvas, Rect, Text, Out, false, fqDefault, xepNone, false, taCenter, 2);
}

// ---- group ----

void TXGlyphGroup::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FMembers.reset(New<TXComponentList<TXGlyph>>(false));
    SetSkinDataName(u"GlyphGroup");
}

void TXGlyphGroup::BeforeDestruction()
{
    // The members hear of it through their free notification and let go.
    FMembers->Clear();
    inherited::BeforeDestruction();
}

TXCustomGlyphGroupSkinData* TXGlyphGroup::GlyphSkinData() const
{
    return static_cast<TXCustomGlyphGroupSkinData*>(SkinData());
}

void TXGlyphGroup::SetSkinData(TXCustomGlyphGroupSkinData* Value)
{
    BindSkinData(Value);
}

void TXGlyphGroup::AddMember(TXGlyph* Glyph)
{
    FMembers->AddUnique(Glyph);
}

void TXGlyphGroup::RemoveMember(TXGlyph* Glyph)
{
    FMembers->Remove(Glyph);
}

void TXGlyphGroup::ApplySkin()
{
    if (SkinDataName().empty())
        return;
    SetSkinData(static_cast<TXCustomGlyphGroupSkinData*>(
        FindGroupSkinData(this, SkinDataName(), TXCustomGlyphGroupSkinData::StaticClass())));
}

void TXGlyphGroup::SkinDataChanged()
{
    for (Integer I = 0; I < FMembers->Count(); ++I) {
        FMembers->Items(I)->ResetImageIndex();
        FMembers->Items(I)->Invalidate();
    }
}

Integer TXGlyphGroup::IndexOfImage(const String& Name)
{
    TXCustomGlyphGroupSkinData* Data = GlyphSkinData();
    return Data ? Data->IndexOfImage(Name) : -1;
}

void TXGlyphGroup::UncheckOthers(TXGlyph* Glyph)
{
    for (Integer I = 0; I < FMembers->Count(); ++I)
        if (FMembers->Items(I) != Glyph)
            FMembers->Items(I)->SetCheckState(cstOff);
}

// ---- glyph ----

void TXGlyph::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetBounds(Left(), Top(), 24, 24);
}

void TXGlyph::BeforeDestruction()
{
    if (FGroup) {
        FGroup->RemoveMember(this);
        FGroup->RemoveFreeNotification(this);
        FGroup = nullptr;
    }
    inherited::BeforeDestruction();
}

void TXGlyph::SetCheckState(TXButtonState Value)
{
    if (Value == FCheckState)
        return;
    if (FGroup && FGroup->Exclusive() && Value == cstOn)
        FGroup->UncheckOthers(this);
    FCheckState = Value;
    Invalidate();
}

void TXGlyph::SetGroup(TXGlyphGroup* Value)
{
    if (Value == FGroup)
        return;
    if (FGroup) {
        FGroup->RemoveMember(this);
        FGroup->RemoveFreeNotification(this);
    }
    FGroup = Value;
    if (Value) {
        Value->FreeNotification(this);
        Value->AddMember(this);
    }
    ResetImageIndex();
    Invalidate();
}

void TXGlyph::SetImageName(const String& Value)
{
    if (Value == FImageName)
        return;
    FImageName = Value;
    ResetImageIndex();
    Invalidate();
}

void TXGlyph::Click()
{
    if (FGroup) {
        if (FGroup->Exclusive())
            SetCheckState(cstOn);
        else if (FGroup->Toggle())
            SetCheckState(FCheckState == cstOn ? cstOff : cstOn);
    }
    inherited::Click();
}

void TXGlyph::Paint()
{
    inherited::Paint();
    TXCustomGlyphGroupSkinData* Data = FGroup ? FGroup->GlyphSkinData() : nullptr;
    if (!Data)
        return;
    // A broken picture leaves the glyph as the base painted it.
    XGuarded(xecNone, false, [&] {
        if (FImageIndex < 0 && !FImageName.empty())
            FImageIndex = FGroup->IndexOfImage(FImageName);
        Data->PaintGlyph(this, Canvas(), GetCheckedPaintState(Enabled(), Hot(), FCheckState), FImageIndex,
            ClientRect());
    });
}

void TXGlyph::DoMouseEnter()
{
    Invalidate();
    inherited::DoMouseEnter();
}

void TXGlyph::DoMouseLeave()
{
    Invalidate();
    inherited::DoMouseLeave();
}

void TXGlyph::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FGroup) {
        FGroup = nullptr;
        ResetImageIndex();
    }
}
