// Table-of-contents panels: one panel per item of a table, with its
// picture, its description rendered from rich text and a check box or a
// link per action; a click runs the action.
//
//     FillTocPanels(Panels, Toc, Groups, OnAction, OnHide, true);
//
// Handlers may refill or free the panels: a click touches nothing freed
// afterwards.
#pragma once
#include "graphics/XImageCtrls.h"
#include "graphics/XImagePanels.h"
#include "graphics/XSpark.VCL.Images.h"
#include "forms/XSpark.Toc.h"
#include <functional>

enum TXTocLinkAlign { talImage, talText };
X_ENUM_INFO(TXTocLinkAlign, talImage, talText)

using TXTocActionEvent = std::function<void(TObject* Sender, TXTocItem* TocItem, TXTocActionItem* ActionItem)>;

// Renders Text (rich text, or plain) Width pixels wide and at most
// PageHeight high into Bitmap (24-bit, white, as high as the text); false
// when not all of it fit. Replaceable, so another renderer can stand in.
using TXTocTextRenderer = bool (*)(const String& Text, TBitmap* Bitmap, Integer Width, Integer PageHeight);
extern TXTocTextRenderer TocTextRenderer;
bool RenderTocText(const String& Text, TBitmap* Bitmap, Integer Width, Integer PageHeight);

class TXITocPanels;

class TXITocPanel : public TXIPanel {
    X_CLASS(TXITocPanel, TXIPanel)
public:
    void Create(TComponent* AOwner) override;
    void LoadData() override;
    void AfterAdd() override;

    // Places picture, description and action controls; the description is
    // rendered again only when its text or width changed.
    void Arrange();
    TXImage* Picture() const { return FPicture; }
    const String& Description() const { return FDescription; }
    // Where the description shows; empty when it does not.
    const TRect& TextRect() const { return FTextRect; }
    TBitmap* TextBitmap() const { return FTextBitmap.get(); }
    const std::vector<TControl*>& ActionControls() const { return FActionControls; }
    TXTocItem* Item() const;
    // A click on the picture (Control null) or on an action control.
    void RunAction(Integer ActionIndex, TControl* Control);

protected:
    void Paint() override;
    void Resize() override;

private:
    TXImage* FPicture = nullptr; // a child
    String FDescription;
    TOwnedPtr<TBitmap> FTextBitmap;
    TRect FTextRect {};
    // What the bitmap was rendered from.
    String FRenderedText;
    Integer FRenderedWidth = -1;
    std::vector<TControl*> FActionControls; // children
    bool FArranging = false;
};

class TXITocPanels : public TXICustomPanels {
    X_CLASS(TXITocPanels, TXICustomPanels)
public:
    void Create(TComponent* AOwner) override;

    TXTocLinkAlign LinkAlign() const { return FLinkAlign; }
    void SetLinkAlign(TXTocLinkAlign Value) { FLinkAlign = Value; }
    TXGlyphGroup* GlyphGroup() const { return FGlyphGroup; }

    // Args from the action's argument for the language, then Execute; a
    // handled action of an item in a table is logged there.
    virtual void DoTocAction(TXITocPanel* Panel, TXTocItem* Item, bool& Handled, TXTocActionItem* Action);

    TXTocActionEvent OnTocAction;

private:
    TXTocLinkAlign FLinkAlign = talImage;
    TXGlyphGroup* FGlyphGroup = nullptr; // a sub-component
};

// Rebuilds every group and panel from the table (see the unit's notes).
void FillTocPanels(TXICustomPanels* Panels, TXTocCollection* Items, TXTocGroupCollection* Groups,
    const TXTocActionEvent& OnTocAction, const TNotifyEvent& OnItemHide, bool Grouped);
// Check boxes of the panel take their actions' checked states.
void UpdateTocPanelChecks(TXIPanel* Panel);
