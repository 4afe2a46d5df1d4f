// Image panels: collections of data objects (pictures, templates, icons)
// shown as rows or grids of small selectable panels, in groups under
// collapsible caption bars stacked in a host. A non-visual gear owns the
// groups, keeps the selection and raises the item events:
//
//     auto* Groups = New<TXIThnPanels>(Form);
//     Groups->SetHost(Box);
//     Groups->SetThumbnailSize(128, 96, 4);
//     TXIPanelList* Pack = Groups->AddGroup();
//     Pack->AddCollectionPanels(Pictures);     // one panel per picture
//     Groups->OnItemClick = [](TObject* Panel) { ... };
//
// The boxes hold their gear and lay it out on load and on every resize:
//
//     auto* Box = New<TXIThnPanelsBox>(Form);  // Box->Groups() hosts in Box
//     Box->SetParent(Form);
//     Box->Groups()->AddGroup()->AddCollectionPanels(Pictures);
//
// A handler may remove its panel only through HidePanel, which frees it
// from the message loop. Handlers may free the panel, its group or the
// gear; the event chains stop there.
#pragma once
#include "core/XCore.Collections.h"
#include "core/XEngine.Gears.h"
#include "graphics/XExtCtrls.GroupPanels.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XImagePanels.Geometry.h"
#include "graphics/XMedia.Thumbnails.h"
#include "graphics/XSpark.VCL.Panels.h"
#include <unordered_map>

class TXIPanelList;
class TXICustomPanels;

// The item events are plain procedures (bound in code, never stored).
using TXMouseHitEvent = std::function<void(TObject* Sender, Integer Hit, Integer X, Integer Y)>;
using TXThnButtonEnabledEvent = std::function<void(TObject* Sender, Integer Index, bool& Enabled)>;

// The private message that frees a panel from the message loop.
constexpr UINT XM_HIDEPANEL = 0x8073;

// One data object shown in a group.
class TXIPanel : public TXSkinPanel {
    X_CLASS(TXIPanel, TXSkinPanel)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    TXIPanelList* Group() const { return FGroup; }
    void SetGroup(TXIPanelList* Value) { FGroup = Value; }
    // The gear of its group; null outside a group.
    TXICustomPanels* Panels() const;
    TObject* Data() const { return FData; }
    void SetData(TObject* Value) { FData = Value; }
    bool Selected() const { return FSelected; }
    void SetSelected(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    // Its position in its group; -1 outside one.
    Integer Index() const;
    // Freed from the message loop through the gear. (Not named Hide: the
    // control interface's Hide only hides.)
    void HidePanel();

    // Fills the panel from Data.
    virtual void LoadData() { }
    // After the panel was added and parented.
    virtual void AfterAdd() { }
    // The hit under a point for a move, a left and a right click; 0 none.
    virtual Integer GetHotHit(Integer X, Integer Y) { return 0; }
    virtual Integer GetLeftHit(Integer X, Integer Y) { return 0; }
    virtual Integer GetRightHit(Integer X, Integer Y) { return 0; }
    virtual void CheckBoxClicked() { }
    // Tells the gear (OnItemDataChanged).
    virtual void DataChanged();
    virtual void UpdateColor();
    // Shows Checked.
    virtual void UpdateCheck() { }
    // Writes back into Data.
    virtual void SaveData() { }

protected:
    void Paint() override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void DblClick() override;

private:
    TXIPanelList* FGroup = nullptr;
    TObject* FData = nullptr;
    bool FSelected = false;
    bool FChecked = false;
};

using TXIPanelClass = TClass;

// A group: its panels (owned) on a group panel of the gear's class.
class TXIPanelList : public TXComponentList<TXIPanel> {
    X_CLASS(TXIPanelList, TXComponentList<TXIPanel>)
public:
    void Create() override { inherited::Create(true); }
    void Create(TXICustomPanels* APanels, TXGroupPanel* AGroupPanel);
    // The panels first, then the group panel, hidden.
    ~TXIPanelList() override;

    TXICustomPanels* Panels() const { return FPanels; }
    // Null once it went with its parent window.
    TXGroupPanel* GroupPanel() const { return FGroupPanel; }
    Integer SelectedIndex() const { return FSelectedIndex; }
    // Index of this group in its gear; -1 when it is not there.
    Integer GroupIndex() const;

    TXIPanel* AddPanel(TObject* AData);
    void AddCollectionPanels(TCollection* Collection);
    void DeletePanel(Integer Index);
    void SetSelectedIndex(Integer Index);
    TXIPanel* GetSelected() const;
    void CheckAll();
    void UncheckAll();
    void SaveAllData();
    // Places the panels from FromIndex on and fits the group panel's height.
    void Layout(Integer FromIndex);
    // The caption bar in the gear's colours for the group panel's state.
    void UpdateCaptionColors();
    // Forgets the selection without telling anyone (the gear resets it).
    void ResetSelectedIndex() { FSelectedIndex = -1; }

private:
    void GroupSelect(TObject* Sender);
    void GroupDeselect(TObject* Sender);
    void GroupCheckChanged(TObject* Sender);
    Integer CaptionHeight() const;
    // Selected False on every panel but Keep, as long as the group lives.
    bool DeselectOthers(TXIPanel* Keep);

    TXICustomPanels* FPanels = nullptr;
    TXGroupPanel* FGroupPanel = nullptr;
    Integer FSelectedIndex = -1;
    TLifeMark FLife;
    friend class TXICustomPanels;
};

// The groups of a gear (owned).
class TXIPanelGroupList : public TXCustomObjectList {
    X_CLASS(TXIPanelGroupList, TXCustomObjectList)
public:
    TXIPanelList* GetItem(Integer Index) const { return static_cast<TXIPanelList*>(Items(Index)); }
};

// Colour indexes of the gear's colour table.
enum TXIPanelColor : Integer {
    picItem,
    picSelectedItem,
    picGroup,
    picSelectedGroup,
    picCaption,
    picSelectedCaption
};

class TXICustomPanels : public TXMessageGear {
    X_CLASS(TXICustomPanels, TXMessageGear)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    void WndProc(TMessage& Message) override;

    Integer Columns() const { return FColumns; }
    // Lays out again.
    void SetColumns(Integer Value);
    bool FullWidth() const { return FFullWidth; }
    void SetFullWidth(bool Value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool Value) { FMultiSelect = Value; }
    bool Themed() const { return FThemed; }
    void SetThemed(bool Value) { FThemed = Value; }

    TClass PanelClass() const { return FPanelClass; }
    // A class that is no TXIPanel is not taken.
    void SetPanelClass(TClass Value);
    TClass GroupPanelClass() const { return FGroupPanelClass; }
    void SetGroupPanelClass(TClass Value);
    TWinControl* Host() const { return FHost; }
    void SetHost(TWinControl* Value);
    Integer WorkColumns() const { return FWorkColumns; }
    Integer CurrentGroupIndex() const { return FCurrentGroupIndex; }
    TXIPanelGroupList* Groups() const { return FGroups.get(); }
    TColor Colors(TXIPanelColor Index) const { return FColors[Index]; }
    // UpdateColor on every panel of every group.
    void SetColors(TXIPanelColor Index, TColor Value);

    TXIPanelList* AddGroup();
    void Clear();
    TXIPanelList* GetCurrentGroup() const;
    void SetCurrentGroup(Integer Index);
    void UpdateFullWidth();
    void Relayout();
    // Posts the panel's removal to the gear's window.
    void HidePanel(TXIPanel* Panel);
    bool Updating() const { return FUpdateCount > 0; }

    // A panel goes: pending removals of it are dropped.
    void PanelGone(TXIPanel* Panel);
    // Host's client width; 0 without a host.
    Integer HostClientWidth() const;

    TNotifyEvent OnItemSelected;
    TNotifyEvent OnItemDeselected;
    TNotifyEvent OnItemCheckChanged;
    TNotifyEvent OnItemDataChanged;
    TNotifyEvent OnItemClick;
    TNotifyEvent OnItemDblClick;
    TNotifyEvent OnItemHide;
    TXMouseHitEvent OnItemMouseHot;
    TXMouseHitEvent OnItemMouseBtnLeft;
    TXMouseHitEvent OnItemMouseBtnRight;
    TNotifyEvent OnSelected;
    TNotifyEvent OnDeselected;
    TNotifyEvent OnCheckChanged;

    // Raises Event with Sender; False when the call freed the gear.
    bool Raise(const TNotifyEvent& Event, TObject* Sender);
    bool RaiseHit(const TXMouseHitEvent& Event, TObject* Sender, Integer Hit, Integer X, Integer Y);
    TLifeMark& LifeMark() { return FLife; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The removal posted for Serial arrives.
    void HidePanelNow(UInt64 Serial);

private:
    Integer FColumns = 0;
    bool FFullWidth = false;
    bool FMultiSelect = false;
    bool FThemed = false;
    TClass FPanelClass = nullptr;
    TClass FGroupPanelClass = nullptr;
    TWinControl* FHost = nullptr;
    Integer FWorkColumns = 0;
    Integer FCurrentGroupIndex = -1;
    Integer FUpdateCount = 0;
    std::array<TColor, 6> FColors {};
    TOwnedPtr<TXIPanelGroupList> FGroups;
    // Removals posted and not yet done, by serial; a panel that goes
    // takes its own out, so a later panel at its address is never hit.
    std::unordered_map<UInt64, TXIPanel*> FPendingHides;
    UInt64 FNextHide = 1;
};

// The gear with its colours published.
class TXIPanels : public TXICustomPanels {
    X_CLASS(TXIPanels, TXICustomPanels)
public:
    template<TXIPanelColor I>
    TColor Col() const
    {
        return Colors(I);
    }
    template<TXIPanelColor I>
    void SetCol(TColor Value)
    {
        SetColors(I, Value);
    }
};

// ---- thumbnails ----

class TXIThnPanels;

// A panel of the thumbnail gear.
class TXICustomThnPanel : public TXIPanel {
    X_CLASS(TXICustomThnPanel, TXIPanel)
public:
    // The thumbnail gear of its group; null outside one.
    TXIThnPanels* ThnPanels() const;
    // One cell of the gear's geometry.
    void LoadData() override;
    // Its drawn thumbnail leaves the gear's cache.
    void BeforeDestruction() override;

protected:
    // The title the panel shows for TitleType: the position from 1, or the
    // picture's size; empty for none.
    virtual String TitleText();
    // The item's thumbnail into ThumbRect on Ground (Ground alone for a
    // picture that does not draw).
    void DrawThumbnail(TXImageItem* Item, bool KeepAspectRatio, TColor Ground);
    // The one-pixel bevel round ThumbRect in the shades of the item colour.
    void DrawThumbnailBevel();
    // Written twice, black one pixel down and right, then white.
    void DrawShadowedTitle(const String& Text);
};

// A picture (Data a TXImageItem) with a title, a check box and a row of
// buttons along its top.
class TXIThnPanel : public TXICustomThnPanel {
    X_CLASS(TXIThnPanel, TXICustomThnPanel)
    X_DECLARE_MESSAGES(TXIThnPanel)
public:
    void Create(TComponent* AOwner) override;

    void LoadData() override;
    void UpdateCheck() override;
    void CheckBoxClicked() override;
    // 30 + the button under the point, else 0.
    Integer GetHotHit(Integer X, Integer Y) override;
    Integer GetLeftHit(Integer X, Integer Y) override;

    TXCheckBox* CheckBox() const { return FCheckBox; }
    // 30 + the index of the hot button; 0 for none.
    Integer HotButton() const { return FHotButton; }

protected:
    void Paint() override;
    void CMMouseLeave(TMessage& Message);

private:
    // The button whose rectangle holds the point; -1 for none.
    Integer ButtonAt(Integer X, Integer Y);
    void PaintButtons();

    TXCheckBox* FCheckBox = nullptr;
    Integer FHotButton = 0;
};

// A design template (Data a TXTemplateItem) with its title.
class TXITemplatePanel : public TXICustomThnPanel {
    X_CLASS(TXITemplatePanel, TXICustomThnPanel)
protected:
    void Paint() override;
    String TitleText() override;
};

// The gear of thumbnail panels: the cell geometry, the title, the check
// boxes and the button pictures, and the drawn thumbnails.
class TXIThnPanels : public TXIPanels {
    X_CLASS(TXIThnPanels, TXIPanels)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    // 0 Border, 1 ThnWidth, 2 ThnHeight; each recomputes the geometry.
    Integer ThnSize(Integer Index) const { return FSizes[size_t(std::clamp(Index, 0, 2))]; }
    void SetThnSize(Integer Index, Integer Value);
    template<Integer I>
    Integer Size() const
    {
        return ThnSize(I);
    }
    template<Integer I>
    void SetSize(Integer Value)
    {
        SetThnSize(I, Value);
    }
    Integer Border() const { return FSizes[0]; }
    Integer ThnWidth() const { return FSizes[1]; }
    Integer ThnHeight() const { return FSizes[2]; }
    TXThnTitleType TitleType() const { return FTitleType; }
    void SetTitleType(TXThnTitleType Value) { FTitleType = Value; }
    TXThnTitlePosition TitlePosition() const { return FTitlePosition; }
    void SetTitlePosition(TXThnTitlePosition Value);
    TColor BgColor() const { return FBgColor; }
    void SetBgColor(TColor Value) { FBgColor = Value; }
    bool optCheckBox() const { return FCheckBox; }
    void SetoptCheckBox(bool Value) { FCheckBox = Value; }
    bool optKeepAspectRatio() const { return FKeepAspectRatio; }
    void SetoptKeepAspectRatio(bool Value) { FKeepAspectRatio = Value; }
    bool optShowButtonsHint() const { return FShowButtonsHint; }
    void SetoptShowButtonsHint(bool Value) { FShowButtonsHint = Value; }
    TXThnButtonEnabledEvent OnItemButtonEnabled;

    TXSkinImagesBox* ButtonImages() const { return FBoxes.Plain; }
    void SetButtonImages(TXSkinImagesBox* Value) { Bind(FBoxes.Plain, Value); }
    TXSkinImagesBox* HotButtonImages() const { return FBoxes.Hot; }
    void SetHotButtonImages(TXSkinImagesBox* Value) { Bind(FBoxes.Hot, Value); }
    TXSkinImagesBox* DisabledButtonImages() const { return FBoxes.Disabled; }
    void SetDisabledButtonImages(TXSkinImagesBox* Value) { Bind(FBoxes.Disabled, Value); }
    const TXThnButtonBoxes& ButtonBoxes() const { return FBoxes; }

    // The geometry of the settings; the button rectangles follow the
    // pictures the button box holds now.
    const TXThnGeometry& Geometry();
    Integer CellWidth() { return Geometry().CellWidth; }
    Integer CellHeight() { return Geometry().CellHeight; }

    // The sizes, then every panel takes the new cell and the groups are
    // laid out again.
    void SetThumbnailSize(Integer Width, Integer Height, Integer ABorder);
    // Recomputes the geometry (not at design time).
    void UpdateLayout();
    void Loaded() override;
    // The drawn thumbnails of the panels that showed last; the budget
    // follows the host's visible area.
    TXThumbnailCache* Thumbnails() { return &FThumbnails; }
    void UpdateThumbnailBudget();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void Bind(TXSkinImagesBox*& Slot, TXSkinImagesBox* Box);

    std::array<Integer, 3> FSizes { 4, 128, 96 };
    TXThnTitleType FTitleType = tiNone;
    TXThnTitlePosition FTitlePosition = tpThn;
    TColor FBgColor = clWhite;
    bool FCheckBox = false;
    bool FKeepAspectRatio = true;
    bool FShowButtonsHint = false;
    TXThnButtonBoxes FBoxes;
    TXThnGeometry FGeometry;
    std::vector<TXSize> FGeometryButtons;
    bool FGeometryValid = false;
    TXThumbnailCache FThumbnails { 4 << 20 };
};

// ---- boxes ----

// A scroll box that holds image panel groups and lays them out again when
// it is loaded or resized.
class TXICustomPanelsBox : public TXScrollBox {
    X_CLASS(TXICustomPanelsBox, TXScrollBox)
public:
    void Loaded() override;
    virtual void UpdateLayout() = 0;

protected:
    void Resize() override;

private:
    // A layout changes the scroll bars, which resize the client area.
    bool FLayingOut = false;
    void Layout();
};

// The box of thumbnail panels: its gear Groups (owned, Host the box).
class TXIThnPanelsBox : public TXICustomPanelsBox {
    X_CLASS(TXIThnPanelsBox, TXICustomPanelsBox)
public:
    void Create(TComponent* AOwner) override;
    TXIThnPanels* Groups() const { return FGroups; }
    // Full width, then the columns and rows again; the thumbnail cache
    // follows the new visible area.
    void UpdateLayout() override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TXIThnPanels* FGroups = nullptr;
};

// Thumbnail panels of design templates.
class TXITemplatePanelsBox : public TXIThnPanelsBox {
    X_CLASS(TXITemplatePanelsBox, TXIThnPanelsBox)
public:
    void Create(TComponent* AOwner) override;
};
