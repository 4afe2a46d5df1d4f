#include "graphics/XExtCtrls.FlowPanel.h"
#include "graphics/XSpark.VCL.Controls.h"
#include "rtl/Comparers.h"

X_REGISTER_CLASS(TXFlowPanel)

X_MESSAGES(TXFlowPanel)
{
    X_MESSAGE(CM_CONTROLLISTCHANGE, CMControlListChange);
}

void TXFlowPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FPadding.reset(New<TXBorders>());
    for (Integer Side = 0; Side < 4; ++Side)
        FPadding->SetWidth(Side, 6);
    FFlowList.reset(New<TComponentList>(false));
}

TXFlowPanel::~TXFlowPanel() = default;

void TXFlowPanel::Loaded()
{
    inherited::Loaded();
    SortFlowList();
}

void TXFlowPanel::SetSpacing(Integer Index, Integer Value)
{
    Integer& Spacing = Index == 0 ? FHorzSpacing : FVertSpacing;
    if (Spacing == Value)
        return;
    Spacing = Value;
    Realign();
}

void TXFlowPanel::SortFlowList()
{
    // Stable: controls of equal Tags keep the order they were listed in.
    FFlowList->Sort(TComparer<TComponent*>::Construct([](TComponent* const& L, TComponent* const& R) {
        return L->Tag() < R->Tag() ? -1 : L->Tag() > R->Tag() ? 1 : 0;
    }));
}

void TXFlowPanel::CMControlListChange(TMessage& Message)
{
    auto* Control = reinterpret_cast<TControl*>(Message.WParam);
    if (Message.LParam) {
        if (!FFlowList->Contains(Control)) {
            FFlowList->Add(Control);
            SortFlowList();
        }
    } else
        // A control moved to another parent is no longer placed here.
        FFlowList->Remove(Control);
    if (!ComponentState().Contains(csDestroying) && !ComponentState().Contains(csLoading))
        Realign();
}

void TXFlowPanel::ChildBoundsChanged(TControl* Child)
{
    inherited::ChildBoundsChanged(Child);
    if (!FControlState.Contains(csAligning) && !ComponentState().Contains(csDestroying) &&
        !ComponentState().Contains(csLoading) && FFlowList->Contains(Child))
        Realign();
}

void TXFlowPanel::CenterRow(const std::vector<TControl*>& Row, Integer Y, Integer RowHeight)
{
    for (TControl* C : Row)
        C->SetBounds(C->Left(), Y + (RowHeight - C->Height()) / 2, C->Width(), C->Height());
}

void TXFlowPanel::AlignControls(TControl* AControl, TRect& Rect)
{
    inherited::AlignControls(AControl, Rect);
    // Placing the controls and sizing the panel must not lay it out again.
    FControlState.Include(csAligning);
    const Integer Width = ClientWidth();
    Integer X = FPadding->Left(), Y = FPadding->Top(), RowHeight = 0;
    std::vector<TControl*> Row;
    for (TComponent* Item : *FFlowList) {
        auto* C = static_cast<TControl*>(Item);
        if (!C->Visible())
            continue;
        if (Width + 1 < X + C->Width() + FHorzSpacing) {
            // Counted, not guessed from X: a control wider than the panel
            // on an empty row stays there.
            if (!Row.empty()) {
                CenterRow(Row, Y, RowHeight);
                X = FPadding->Left();
                Y += FVertSpacing + RowHeight;
                RowHeight = 0;
            }
            Row.clear();
        }
        RowHeight = std::max(RowHeight, C->Height());
        C->SetBounds(X, Y, C->Width(), C->Height());
        Row.push_back(C);
        auto* Spacer = DynamicCast<TXSpacer>(C);
        X = Spacer && Spacer->Wrap() ? Width : X + C->Width() + FHorzSpacing;
    }
    CenterRow(Row, Y, RowHeight);
    Y += FVertSpacing + RowHeight;
    SetClientHeight(Y);
    if (FAlign == alClient && FParent)
        FParent->SetClientHeight(Top() + Y);
    FControlState.Exclude(csAligning);
}
