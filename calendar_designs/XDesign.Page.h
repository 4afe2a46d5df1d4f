// A design page: a page size with margins in design units, a resolution,
// a background colour, a thumbnail, the ordered stack of design items and
// a list of named defaults. The page keeps the anchor chains of its
// items, lays them out in pixels and renders them into a bitmap item by
// item.
//
//     TOwnedPtr<TXPageObject> Page(New<TXPageObject>());
//     Page->RescaleTo(1920, 1080, 0, 0, 0, 40);
//     Page->LayoutNeeded = true;
//     TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
//     Page->RenderPage(B.get(), true);
#pragma once
#include "calendar_designs/XDesign.Defaults.h"
#include "calendar_designs/XDesign.Items.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XMedia.Resample.h"
#include <unordered_map>

// The page's document units.
using TXDocumentUnits = TXUnits;

// The edges an anchor refers to.
enum TXAnchorEdge { aeLeft, aeTop, aeRight, aeBottom };

class TXDBgItem;
class TXDGroupItem;

// The Lanczos kernel of radius 2.0 that pages resample pictures with.
const TXFilterKernel* DesignResampleKernel();

class TXPageObject : public TXChangeableObject {
    X_CLASS(TXPageObject, TXChangeableObject)
public:
    void Create() override;
    void Init() override;
    void BeforeDestruction() override;
    bool AssignFrom(TPersistent* Source) override;

    // Empties the anchor lists, frees every item and sets the margins to 0.
    void Clear() override;
    void SetIntProp(Integer Index, Integer Value);
    Integer GetIntProp(Integer Index) const;
    void SetPageSize(Integer AWidth, Integer AHeight, Integer ALeft, Integer ATop, Integer ARight, Integer ABottom);
    void RescaleTo(Integer AWidth, Integer AHeight, Integer ALeft, Integer ATop, Integer ARight, Integer ABottom);
    // Item 0 when it is a background item; else a new one put there.
    TXDBgItem* GetBgItem();
    void ApplyDefaults(TObjectList* Defaults);
    void ApplyDefault(TXDDefaultItem* Default);
    void ApplyPageDefaults();
    void LayoutPage(Integer ADPI, Integer ImageDPI);
    // The screen render: a 32-bit bitmap of the page filled with BgColor,
    // the layout pass when asked, then every item in order. A page beyond
    // the picture cap is not rendered (false).
    bool RenderPage(TBitmap* Bitmap, bool ForceLayout);
    // The print render into a 24-bit bitmap at DPI, without cached layers.
    bool RenderToBitmap(TBitmap* Bitmap, Integer ADPI, Integer ImageDPI);
    TXDesignItem* FindItem(const String& Name) const;

    // The anchor lists (kept by the items as their ids change).
    void PlaceOnXAxis(TXDesignItem* Item);
    void PlaceOnYAxis(TXDesignItem* Item);
    void RemoveFromAnchorLists(TXDesignItem* Item);
    // The pixel position an anchored edge refers to.
    Integer EdgeReference(TXAnchorEdge Edge, Integer Target, bool FullPage);
    TXDGroupItem* FindGroup(Integer GID) const;
    const TXFilterKernel* Kernel() const { return ResampleKernel == 1 ? DesignResampleKernel() : nullptr; }

    TXDocumentUnits Units() const { return FUnits; }
    void SetUnits(TXDocumentUnits Value) { FUnits = Value; }
    Integer DPI() const { return FDPI; }
    Integer PrintDPI() const { return FPrintDPI; }
    Integer Width() const { return FWidth; }
    Integer Height() const { return FHeight; }
    Integer LeftMargin() const { return FMargins[0]; }
    Integer TopMargin() const { return FMargins[1]; }
    Integer RightMargin() const { return FMargins[2]; }
    Integer BottomMargin() const { return FMargins[3]; }
    TColor BgColor() const { return FBgColor; }
    void SetBgColor(TColor Value) { FBgColor = Value; }
    TXImageObject* Thn() const { return FThn.get(); }

    TXDDefaultList* DefaultList() const { return FDefaultList.get(); }
    TXDesignList* AllItems() const { return FAllItems.get(); }
    TXDesignList* XChain() const { return FXChain.get(); }
    TXDesignList* YChain() const { return FYChain.get(); }
    TXDesignList* RemainingItems() const { return FRemaining.get(); }

    bool LayoutNeeded = true;
    bool CacheLayers = true;
    bool ShowDayRows = true;
    bool CalendarUnderlay = false;
    Integer ResampleKernel = 0;
    TNotifyEvent OnSizeChanged;
    Integer PixPageWidth = 0, PixPageHeight = 0;
    Integer PixLeftMargin = 0, PixTopMargin = 0, PixRightMargin = 0, PixBottomMargin = 0;

protected:
    // Moves a chain's first item just behind the later of its targets.
    void SortChain(TXDesignList* Chain, bool Horizontal);

private:
    void MarkItemsDirty();
    void RaiseSizeChanged();
    void InsertAtChainFront(TXDesignList* Chain, bool& Member, TXDesignItem* Item);
    void RemoveFrom(TXDesignList* List, bool& Member, TXDesignItem* Item);
    TXDesignItem* ChainItem(bool Horizontal, Integer Id);

    TXDocumentUnits FUnits = muPixels;
    Integer FDPI = 0;
    Integer FPrintDPI = 0;
    Integer FWidth = 0, FHeight = 0;
    std::array<Integer, 4> FMargins {};
    TColor FBgColor = 0xFFFFFF;
    TOwnedPtr<TXImageObject> FThn;
    TOwnedPtr<TXDDefaultList> FDefaultList;
    TOwnedPtr<TXDesignList> FAllItems;
    TOwnedPtr<TXDesignList> FXChain;
    TOwnedPtr<TXDesignList> FYChain;
    TOwnedPtr<TXDesignList> FRemaining;
    // Anchor ids to the first chain item carrying them; rebuilt after a
    // chain changes, so each edge reference is one look-up.
    std::unordered_map<Integer, TXDesignItem*> FXIndex, FYIndex;
    bool FXIndexValid = false, FYIndexValid = false;
};
