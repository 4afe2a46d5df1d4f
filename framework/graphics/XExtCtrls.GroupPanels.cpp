#include "graphics/XExtCtrls.GroupPanels.h"
#include "core/XSpark.App.h"
#include "gdi/PngImage.h"
#include "rtl/Streams.h"
#include "rtl/Units.h"
#include <span>

X_REGISTER_CLASS(TXCustomGroupToolPanel)
X_REGISTER_CLASS(TXGroupToolPanel)
X_REGISTER_CLASS(TXCustomGroupPanel)
X_REGISTER_CLASS(TXGroupPanel)
X_REGISTER_CLASS(TXIGroupPanel)
X_REGISTER_CLASS(TXISingleGroupPanel)

namespace {

#include "SkinPictures.inc"

TBitmap* UpArrow = nullptr;
TBitmap* DownArrow = nullptr;

TBitmap* LoadGlyph(std::span<const Byte> Png)
{
    TOwnedPtr<TMemoryStream> Stream(MakeOwned<TMemoryStream>());
    Stream->WriteBuffer(Png.data(), Int64(Png.size()));
    Stream->SetPosition(0);
    TOwnedPtr<TPngImage> Picture(MakeOwned<TPngImage>());
    Picture->LoadFromStream(Stream.get());
    TOwnedPtr<TBitmap> Glyph(New<TBitmap>());
    Glyph->SetSize(Picture->Width(), Picture->Height());
    Glyph->Canvas()->Draw(0, 0, Picture.get());
    return Glyph.release();
}

void InitGroupPanels()
{
    UpArrow = LoadGlyph(UpArrowPng);
    DownArrow = LoadGlyph(DownArrowPng);
}

void DoneGroupPanels()
{
    FreeAndNil(DownArrow);
    FreeAndNil(UpArrow);
}

// Opaque, without bevels: the look of the image panels' groups.
void MakeOpaque(TXGroupPanel* Panel)
{
    SetParentBackground(Panel, false);
    Panel->SetBevelInner(bvNone);
    Panel->SetBevelOuter(bvNone);
    Panel->ToolPanel()->SetTransparent(false);
}

} // namespace

X_UNIT(XExtCtrls_GroupPanels, "XExtCtrls.GroupPanels", ({ "XSpark.VCL" }), &InitGroupPanels, &DoneGroupPanels)

TBitmap* RollUpArrowGlyph(bool Down)
{
    return Down ? DownArrow : UpArrow;
}

namespace {

// The roll glyph at the screen's pixels per inch.
TOwnedPtr<TBitmap> ScaledRollUpArrowGlyph(bool Down)
{
    TBitmap* Glyph = RollUpArrowGlyph(Down);
    TOwnedPtr<TBitmap> Scaled(MakeOwned<TBitmap>());
    Scaled->SetPixelFormat(pf24bit);
    Scaled->SetSize(ScaleToDPI(Glyph->Width()), ScaleToDPI(Glyph->Height()));
    // Nearest pixels: the see-through magenta must stay exactly magenta.
    StretchDraw(Scaled.get(), Rect(0, 0, Scaled->Width(), Scaled->Height()), Glyph, smNearest);
    return Scaled;
}

}

// ---- TXCustomGroupToolPanel ----

void TXCustomGroupToolPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    OnClick = [this](TObject*) { Select(); };
    OnDblClick = [this](TObject*) { ToggleRollUp(); };
    SetName(u"SubPanel");
    SetCaption(String());
}

TXCustomGroupPanel* TXCustomGroupToolPanel::Group() const
{
    return DynamicCast<TXCustomGroupPanel>(Owner());
}

void TXCustomGroupToolPanel::ToggleRollUp()
{
    if (TXCustomGroupPanel* G = Group())
        G->SetRollUpState(!G->RollUpState());
}

void TXCustomGroupToolPanel::Select()
{
    if (TXCustomGroupPanel* G = Group())
        G->SetSelected(true);
}

void TXCustomGroupToolPanel::SetColors(TColor AColor, TColor FontColor)
{
    SetColor(AColor);
    Font()->SetColor(FontColor);
    Perform(CM_FONTCHANGED);
}

// ---- TXGroupToolPanel ----

void TXGroupToolPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetHeight(ScaleToDPI(21));
    FRollUpButton = New<TSpeedButton>(this);
    FRollUpButton->SetFlat(true);
    FRollUpButton->SetBounds(0, ScaleToDPI(2), ScaleToDPI(17), ScaleToDPI(17));
    FRollUpButton->OnClick = [this](TObject*) { ToggleRollUp(); };
    FRollUpButton->SetParent(this);
    FCheckBox = New<TXCheckBox>(this);
    FCheckBox->SetCaption(String());
    FCheckBox->SetBounds(ScaleToDPI(4), ScaleToDPI(2), FCheckBox->Height(), FCheckBox->Height());
    FCheckBox->OnClick = [this](TObject*) { CheckBoxClick(); };
    FCheckBox->SetParent(this);
    TitleBorder()->SetLeft(Word(FCheckBox->Left() + FCheckBox->Width() + ScaleToDPI(4)));
    PlaceRollUpButton();
}

void TXGroupToolPanel::Loaded()
{
    inherited::Loaded();
    FRollUpButton->SetBounds(FRollUpButton->Left(), ScaleToDPI(2), ScaleToDPI(17), ScaleToDPI(17));
    PlaceRollUpButton();
}

void TXGroupToolPanel::PlaceRollUpButton()
{
    FRollUpButton->SetLeft(Width() - FRollUpButton->Width() - FRollUpButton->Top());
}

void TXGroupToolPanel::Resize()
{
    // Made by the bar before the button exists.
    if (FRollUpButton)
        PlaceRollUpButton();
    inherited::Resize();
}

void TXGroupToolPanel::CheckBoxClick()
{
    if (TXCustomGroupPanel* G = Group())
        G->SetChecked(FCheckBox->Checked());
}

void TXGroupToolPanel::SetCheckState(bool Value)
{
    FCheckBox->SetChecked(Value);
}

void TXGroupToolPanel::SetCheckBoxVisible(bool Value)
{
    FCheckBox->SetVisible(Value);
}

void TXGroupToolPanel::SetRolledUp(bool Value)
{
    FRollUpButton->SetGlyph(ScaledRollUpArrowGlyph(Value).get());
}

// ---- TXCustomGroupPanel ----

void TXCustomGroupPanel::SetCaptionBar(TXCustomGroupToolPanel* Bar)
{
    FCaptionBar = Bar;
    Bar->SetBounds(0, 0, Width(), Bar->Height());
    Bar->SetParent(this);
    // The bar shows the group's state from the start.
    Bar->SetCheckState(FChecked);
    Bar->SetCheckBoxVisible(FShowCheckBox);
    Bar->SetRolledUp(FRollUpState);
}

Integer TXCustomGroupPanel::CaptionBarHeight() const
{
    return FCaptionBar ? FCaptionBar->Height() : 0;
}

void TXCustomGroupPanel::SetFullHeight(Integer Value)
{
    FFullHeight = Value;
    if (!FRollUpState)
        SetHeight(Value);
}

void TXCustomGroupPanel::SetContentHeight(Integer Value)
{
    SetFullHeight(Value + CaptionBarHeight());
}

void TXCustomGroupPanel::SetRollUpState(bool Value)
{
    if (FRollUpState == Value)
        return;
    FRollUpState = Value;
    if (FCaptionBar)
        FCaptionBar->SetRolledUp(Value);
    if (Value) {
        FFullHeight = Height();
        SetHeight(CaptionBarHeight());
    } else
        SetHeight(FFullHeight);
    Fire(OnRollUpChanged);
}

void TXCustomGroupPanel::SetChecked(bool Value)
{
    if (FChecked == Value)
        return;
    FChecked = Value;
    if (FCaptionBar)
        FCaptionBar->SetCheckState(Value);
    Fire(OnCheckChanged);
}

void TXCustomGroupPanel::SetShowCheckBox(bool Value)
{
    if (FShowCheckBox == Value)
        return;
    FShowCheckBox = Value;
    if (FCaptionBar)
        FCaptionBar->SetCheckBoxVisible(Value);
}

void TXCustomGroupPanel::SetSelected(bool Value)
{
    if (FSelected == Value)
        return;
    FSelected = Value;
    Fire(Value ? OnSelect : OnDeselect);
}

void TXCustomGroupPanel::Resize()
{
    TLifeWatch Watch(FLife);
    inherited::Resize();
    if (Watch.Freed())
        return;
    const Integer BarHeight = CaptionBarHeight();
    if (Height() < BarHeight) {
        SetHeight(BarHeight); // sized again: the rest follows there
        return;
    }
    if (!FRollUpState)
        FFullHeight = Height();
    if (FCaptionBar)
        FCaptionBar->SetBounds(FCaptionBar->Left(), FCaptionBar->Top(), Width(), BarHeight);
}

// ---- TXGroupPanel ----

void TXGroupPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetCaptionBar(New<TXGroupToolPanel>(this));
}

void TXIGroupPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    MakeOpaque(this);
}

void TXISingleGroupPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    MakeOpaque(this);
    ToolPanel()->SetHeight(0);
}
