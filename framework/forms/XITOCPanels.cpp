#include "forms/XITOCPanels.h"
#include "rtl/CodePages.h"
#include "rtl/StrUtils.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "graphics/XExtCtrls.GroupPanels.h"
#include "graphics/XSpark.VCL.Buttons.h"
#include "graphics/XSpark.VCL.Labels.h"
#include "richedit/RichLayout.h"
#include "richedit/RtfReader.h"

X_REGISTER_CLASS(TXITocPanel)
X_REGISTER_CLASS(TXITocPanels)

X_PUBLISHED(TXITocPanels)
{
    X_PROP(LinkAlign, LinkAlign, SetLinkAlign).Default(talImage);
    X_PROP_READONLY(GlyphGroup, GlyphGroup);
}

TXTocTextRenderer TocTextRenderer = &RenderTocText;

bool RenderTocText(const String& Text, TBitmap* Bitmap, Integer Width, Integer PageHeight)
{
    TRichDocument Doc;
    // Rich text kept in a string is in the ANSI code page.
    const AnsiString Bytes = StringToAnsi(Text);
    if (ReadRtf(std::string_view(Bytes.Bytes.data(), Bytes.Bytes.size()), Doc) == rrNotRtf)
        Doc.Append(Text, TRichCharFormat {});
    const Integer Dpi = ScaleToDPI(96);
    const TRichPage Page =
        FormatRange(Doc, 0, Rect(0, 0, PixelsToTwips(Width, Dpi), PixelsToTwips(PageHeight, Dpi)));
    Bitmap->SetPixelFormat(pf24bit);
    Bitmap->SetSize(0, 0);
    if (Page.Lines.empty())
        return Doc.Text().empty();
    Bitmap->SetSize(Width, TwipsToPixels(Page.Bottom, Dpi));
    Bitmap->Canvas()->Brush()->SetColor(clWhite);
    Bitmap->Canvas()->FillRect(Rect(0, 0, Bitmap->Width(), Bitmap->Height()));
    DrawRange(Bitmap->Canvas(), Doc, Page, Dpi, Dpi);
    return Page.Next >= Integer(Doc.Text().size());
}

namespace {

String CurrentText(TXStringCollection<>* Texts)
{
    return Texts->GetText(GetCurrentLgID(), true);
}

TRect BoundsOf(TControl* C)
{
    return Rect(C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height());
}

} // namespace

// ---- panel ----

void TXITocPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetHeight(ScaleToDPI(97));
    SetColor(clWhite);
    FTextBitmap = MakeOwned<TBitmap>();
    FPicture = New<TXImage>(this);
    FPicture->SetBounds(ScaleToDPI(10), ScaleToDPI(10), ScaleToDPI(100), ScaleToDPI(75));
    FPicture->SetAutoSize(true);
    FPicture->SetParent(this);
}

TXTocItem* TXITocPanel::Item() const
{
    return DynamicCast<TXTocItem>(Data());
}

void TXITocPanel::LoadData()
{
    TXTocItem* TocItem = Item();
    if (!TocItem)
        return;
    FDescription = CurrentText(TocItem->Rtf());
    TXTocActionCollection* Actions = TocItem->Actions();
    if (TocItem->ImageData()->DataStream()->Size() > 0) {
        FPicture->AssignImage(TocItem->ImageData());
        for (Integer I = 0; I < Actions->Count(); ++I) {
            TXTocActionItem* A = Actions->Items(I);
            if (!SameText(A->DisplayName(), TocItem->ImageAction()))
                continue;
            FPicture->SetCursor(crHandPoint);
            FPicture->SetShowHint(true);
            FPicture->SetHint(CurrentText(A->Hint()));
            FPicture->OnClick = [this, I](TObject*) { RunAction(I, nullptr); };
            break;
        }
    } else
        FPicture->SetVisible(false);
    for (Integer I = 0; I < Actions->Count(); ++I) {
        TXTocActionItem* A = Actions->Items(I);
        TControl* Control = nullptr;
        if (A->ControlType() == 1) {
            auto* Check = New<TXCheckBox>(this);
            Check->SetCaption(CurrentText(A->Caption()));
            Check->SetChecked(A->Checked());
            Control = Check;
        } else {
            auto* Link = New<TXLinkLabel>(this);
            Link->SetCaption(CurrentText(A->Caption()));
            Link->SetCursor(crHandPoint);
            Control = Link;
        }
        Control->SetParent(this);
        Control->OnClick = [this, I, Control](TObject*) { RunAction(I, Control); };
        FActionControls.push_back(Control);
    }
}

void TXITocPanel::AfterAdd()
{
    Arrange();
    if (Group())
        Group()->Layout(Index());
}

void TXITocPanel::Resize()
{
    if (!FArranging && Panels() && Panels()->Host()) {
        FArranging = true;
        SetWidth(Panels()->HostClientWidth());
        FArranging = false;
        if (Parent())
            Arrange();
        if (Group())
            Group()->Layout(Index());
    }
    inherited::Resize();
}

void TXITocPanel::Arrange()
{
    if (FArranging)
        return;
    FArranging = true;
    const Integer M = ScaleToDPI(10);
    const bool HasPicture = FPicture->Visible();
    const bool HasText = !FDescription.empty();
    Integer X = M;
    if (HasPicture) {
        X = std::max(ScaleToDPI(120), FPicture->Width() + 2 * M);
        const Integer Left = HasText ? (X - FPicture->Width()) / 2 : (Width() - FPicture->Width()) / 2;
        FPicture->SetLeft(std::max(Left, 1));
    }
    const TRect Picture = HasPicture ? BoundsOf(FPicture) : TRect {};
    TRect Anchor = Picture;
    FTextRect = {};
    if (HasText) {
        const Integer TextWidth = Width() - X - ScaleToDPI(12);
        // Rendering costs far more than placing: only a new text or width.
        if (TextWidth != FRenderedWidth || FDescription != FRenderedText) {
            FRenderedWidth = TextWidth;
            FRenderedText = FDescription;
            FTextBitmap->SetSize(0, 0);
            if (TextWidth > 0)
                TocTextRenderer(FDescription, FTextBitmap.get(), TextWidth, 600);
        }
        const Integer Top = ScaleToDPI(10);
        FTextRect = Rect(X, Top, X + FTextBitmap->Width(), Top + FTextBitmap->Height());
        Anchor = FTextRect;
    }
    Integer Column = X, Y = 0;
    auto* Gear = DynamicCast<TXITocPanels>(Panels());
    if (Gear && Gear->LinkAlign() == talText)
        Y = 2 * Anchor.Top + Anchor.Height();
    else {
        Column = M;
        Y = std::max(HasPicture ? 2 * Picture.Top + Picture.Height() : 0,
            HasText ? 2 * FTextRect.Top + FTextRect.Height() : 0);
    }
    for (TControl* C : FActionControls) {
        C->SetBounds(Column, Y, ClientWidth() - Column, C->Height());
        Y += C->Height() + ScaleToDPI(6);
    }
    SetHeight(std::max(Y + ScaleToDPI(2), HasPicture ? 2 * Picture.Top + Picture.Height() : 0));
    Invalidate();
    FArranging = false;
}

void TXITocPanel::Paint()
{
    inherited::Paint();
    if (!FTextRect.IsEmpty())
        Canvas()->Draw(FTextRect.Left, FTextRect.Top, FTextBitmap.get());
}

void TXITocPanel::RunAction(Integer ActionIndex, TControl* Control)
{
    auto* Gear = DynamicCast<TXITocPanels>(Panels());
    TXTocItem* TocItem = Item();
    if (!Gear || !TocItem || ActionIndex < 0 || ActionIndex >= TocItem->Actions()->Count())
        return;
    TXTocActionItem* Action = TocItem->Actions()->Items(ActionIndex);
    if (auto* Check = DynamicCast<TXCheckBox>(Control))
        Action->SetChecked(Check->Checked());
    const bool Hide = Control && Action->DisplayName() == u"hide";
    // The handlers may refill or free the panels: this panel is then gone
    // and nothing more is done, "hide" included.
    TLifeWatch Watch(LifeMark());
    bool Handled = false;
    Gear->DoTocAction(this, TocItem, Handled, Action);
    if (Watch.Freed())
        return;
    if (!Handled) {
        const TXTocActionEvent Call = Gear->OnTocAction;
        if (Call)
            Call(this, TocItem, Action);
        if (Watch.Freed())
            return;
    }
    if (!Hide)
        return;
    if (TXTocCollection* Toc = TocItem->Toc())
        Toc->HiddenNames()->Add(TocItem->DisplayName());
    HidePanel();
}

// ---- gear ----

void TXITocPanels::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FGlyphGroup = New<TXGlyphGroup>(this);
    FGlyphGroup->SetName(u"TocGlyphGroup");
}

void TXITocPanels::DoTocAction(TXITocPanel* Panel, TXTocItem* Item, bool& Handled, TXTocActionItem* Action)
{
    Action->SetArgs(CurrentText(Action->Argument()));
    TLifeWatch Watch(LifeMark());
    Handled = Action->Execute();
    if (Handled && !Watch.Freed())
        if (TXTocCollection* Toc = Item->Toc())
            Toc->LogAction(Item, Action);
}

// ---- filling ----

void FillTocPanels(TXICustomPanels* Panels, TXTocCollection* Items, TXTocGroupCollection* Groups,
    const TXTocActionEvent& OnTocAction, const TNotifyEvent& OnItemHide, bool Grouped)
{
    Panels->Clear();
    Panels->SetGroupPanelClass(Grouped ? TXIGroupPanel::StaticClass() : TXISingleGroupPanel::StaticClass());
    Panels->SetPanelClass(TXITocPanel::StaticClass());
    Panels->OnItemHide = OnItemHide;
    if (auto* Toc = DynamicCast<TXITocPanels>(Panels))
        Toc->OnTocAction = OnTocAction;
    if (Groups->Count() == 0) {
        Groups->FillFromGroup(Items, u"group");
        Items->DeleteGroup(u"group");
        Groups->SortByName();
    }
    Items->SortByName();
    if (!Grouped) {
        TXIPanelList* All = Panels->AddGroup();
        for (Integer I = 0; I < Items->Count(); ++I)
            All->AddPanel(Items->Items(I));
        return;
    }
    auto FindGroup = [&](const String& Name) {
        for (Integer G = 0; G < Groups->Count(); ++G)
            if (SameText(Groups->Items(G)->DisplayName(), Name))
                return G;
        return -1;
    };
    if (Groups->Count() == 0)
        for (Integer I = 0; I < Items->Count(); ++I) {
            const String& Name = Items->Items(I)->GroupName();
            if (FindGroup(Name) >= 0)
                continue;
            TXTocGroupItem* G = Groups->Add();
            G->SetDisplayName(Name);
            G->Caption()->SetText(GetCurrentLgID(), Name);
        }
    for (Integer G = 0; G < Groups->Count(); ++G) {
        TXIPanelList* List = Panels->AddGroup();
        if (TXGroupPanel* Panel = List->GroupPanel()) {
            if (Panel->CaptionBar())
                Panel->CaptionBar()->SetCaption(CurrentText(Groups->Items(G)->Caption()));
            Panel->SetShowCheckBox(false);
        }
    }
    for (Integer I = 0; I < Items->Count(); ++I) {
        TXTocItem* Item = Items->Items(I);
        if (Items->HiddenNames()->IndexOf(Item->DisplayName()) >= 0)
            continue;
        const Integer G = FindGroup(Item->GroupName());
        if (G >= 0 && G < Panels->Groups()->Count())
            Panels->Groups()->GetItem(G)->AddPanel(Item);
    }
    for (Integer G = Panels->Groups()->Count() - 1; G >= 0; --G)
        if (Panels->Groups()->GetItem(G)->Count() == 0)
            Panels->Groups()->Delete(G);
}

void UpdateTocPanelChecks(TXIPanel* Panel)
{
    auto* Toc = DynamicCast<TXITocPanel>(Panel);
    TXTocItem* Item = Toc ? Toc->Item() : nullptr;
    if (!Item)
        return;
    const auto& Controls = Toc->ActionControls();
    for (size_t I = 0; I < Controls.size() && Integer(I) < Item->Actions()->Count(); ++I)
        if (auto* Check = DynamicCast<TXCheckBox>(Controls[I]))
            Check->SetChecked(Item->Actions()->Items(Integer(I))->Checked());
}
