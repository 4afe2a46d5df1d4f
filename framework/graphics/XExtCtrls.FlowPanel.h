// The flow panel: its child controls in rows, ordered by their Tag, each
// row centred vertically; a control that does not fit starts a new row,
// and a wrapping spacer ends one. The panel's client height follows the
// rows (an alClient panel sizes its parent's client area too).
//
//     auto* Strip = New<TXFlowPanel>(Form);
//     Strip->SetParent(Form);
//     Strip->SetHorzSpacing(1);
//     Strip->Padding()->SetTop(3);
//     for (Integer I = 0; I < Count; ++I) {
//         auto* Button = New<TXImage>(Strip);
//         Button->SetTag(I);               // the order in the rows
//         Button->SetParent(Strip);
//     }
#pragma once
#include "graphics/XExtCtrls.h"
#include "rtl/Lists.h"

class TXFlowPanel : public TXSkinPanel {
    X_CLASS(TXFlowPanel, TXSkinPanel)
    X_DECLARE_MESSAGES(TXFlowPanel)
public:
    void Create(TComponent* AOwner) override;
    ~TXFlowPanel() override;
    void Loaded() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;

    // 0 the horizontal, 1 the vertical spacing; a change lays the rows out
    // again.
    Integer GetSpacing(Integer Index) const { return Index == 0 ? FHorzSpacing : FVertSpacing; }
    void SetSpacing(Integer Index, Integer Value);
    Integer HorzSpacing() const { return FHorzSpacing; }
    void SetHorzSpacing(Integer Value) { SetSpacing(0, Value); }
    Integer VertSpacing() const { return FVertSpacing; }
    void SetVertSpacing(Integer Value) { SetSpacing(1, Value); }
    // The inner margins round the rows.
    TXBorders* Padding() const { return FPadding.get(); }
    // The child controls in the order of the rows.
    TComponentList* FlowList() const { return FFlowList.get(); }

protected:
    // A child sized, moved, shown or hidden: the rows are laid out again,
    // as the class library's alignment requests do.
    void ChildBoundsChanged(TControl* Child) override;
    void CMControlListChange(TMessage& Message);

private:
    void SortFlowList();
    // Centres the controls of one row vertically in it.
    static void CenterRow(const std::vector<TControl*>& Row, Integer Y, Integer RowHeight);

    Integer FHorzSpacing = 6;
    Integer FVertSpacing = 6;
    TOwnedPtr<TXBorders> FPadding;
    TOwnedPtr<TComponentList> FFlowList;
};
