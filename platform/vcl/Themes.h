// Visual styles: the style services of the one style there is, the
// system style ("Windows"), and the registry of style hooks that a custom
// style would use to paint controls of a class.
//
// The system style draws with the system colours (gdi/Colors.h); its
// style engine hands no message to a hook, but hooks are registered,
// replaced and found by control class as with any style:
//
//     TStyleManager::Engine()->UnRegisterStyleHook(TCustomListView::StaticClass(), TListViewStyleHook::StaticClass());
//     TStyleManager::Engine()->RegisterStyleHook(TCustomListView::StaticClass(), TMyHook::StaticClass());
#pragma once
#include "gdi/Canvas.h"
#include "gdi/Colors.h"
#include "vcl/Controls.h"
#include <vector>

X_EXCEPTION(EStyleEngineException, Exception)

enum TStyleColor {
    scBorder,
    scButtonDisabled,
    scButtonFocused,
    scButtonHot,
    scButtonNormal,
    scButtonPressed,
    scCategoryButtons,
    scCategoryButtonsGradientBase,
    scCategoryButtonsGradientEnd,
    scCategoryPanelGroup,
    scComboBox,
    scComboBoxDisabled,
    scEdit,
    scEditDisabled,
    scGrid,
    scGenericBackground,
    scGenericGradientBase,
    scGenericGradientEnd,
    scHintGradientBase,
    scHintGradientEnd,
    scListBox,
    scListBoxDisabled,
    scListView,
    scPanel,
    scPanelDisabled,
    scSplitter,
    scToolBarGradientBase,
    scToolBarGradientEnd,
    scTreeView,
    scWindow
};

enum TStyleFont {
    sfComboBoxItemDisabled,
    sfComboBoxItemFocused,
    sfComboBoxItemHot,
    sfComboBoxItemNormal,
    sfComboBoxItemSelected,
    sfListItemTextDisabled,
    sfListItemTextFocused,
    sfListItemTextHot,
    sfListItemTextNormal,
    sfListItemTextSelected,
    sfTreeItemTextDisabled,
    sfTreeItemTextFocused,
    sfTreeItemTextHot,
    sfTreeItemTextNormal,
    sfTreeItemTextSelected,
    sfWindowTextDisabled,
    sfWindowTextNormal,
    sfCheckBoxTextHot,
    sfCheckBoxTextNormal,
    sfTextLabelDisabled,
    sfTextLabelNormal
};

enum TStyleElementItem { seFont, seClient, seBorder };
using TStyleElements = TSet<TStyleElementItem>;

// The themed parts the controls draw.
enum TThemedElement {
    teNone,
    teMenuPopupSeparator,
    teTreeViewGlyphClosed,
    teTreeViewGlyphOpened,
    teHeaderItem,
    teHeaderSortArrowUp,
    teHeaderSortArrowDown,
    teCheckBoxChecked,
    teCheckBoxUnchecked,
    teProgressChunk,
    teProgressChunkVert
};
struct TThemedElementDetails {
    TThemedElement Element = teNone;
    Integer State = 0;
};

class TCustomStyleServices : public TObject {
    X_CLASS(TCustomStyleServices, TObject)
public:
    virtual String Name() const = 0;
    // Styles the controls of the program (never for the system style).
    virtual bool Enabled() const = 0;
    virtual bool IsSystemStyle() const = 0;
    // A system colour as this style has it (the system style: itself).
    virtual TColor GetSystemColor(TColor Color) const = 0;
    virtual TColor GetStyleColor(TStyleColor Color) const = 0;
    virtual TColor GetStyleFontColor(TStyleFont Font) const = 0;
    virtual TThemedElementDetails GetElementDetails(TThemedElement Element) const { return { Element, 0 }; }
    // The natural size of an element: X wide, Y high.
    virtual TPoint GetElementSize(const TThemedElementDetails& Details) const = 0;
    virtual bool DrawElement(TCanvas* Canvas, const TThemedElementDetails& Details, const TRect& R) const = 0;
};

// The system style, "Windows".
class TSystemStyleServices : public TCustomStyleServices {
    X_CLASS(TSystemStyleServices, TCustomStyleServices)
public:
    String Name() const override { return u"Windows"; }
    bool Enabled() const override { return false; }
    bool IsSystemStyle() const override { return true; }
    TColor GetSystemColor(TColor Color) const override { return Color; }
    TColor GetStyleColor(TStyleColor Color) const override;
    TColor GetStyleFontColor(TStyleFont Font) const override;
    TPoint GetElementSize(const TThemedElementDetails& Details) const override;
    bool DrawElement(TCanvas* Canvas, const TThemedElementDetails& Details, const TRect& R) const override;
};

// A style hook paints a control of a class for a custom style and may take
// its messages first.
class TStyleHook : public TObject {
    X_CLASS(TStyleHook, TObject)
public:
    virtual void Create(TWinControl* AControl);
    void Create() override { Create(nullptr); }
    TWinControl* Control() const { return FControl; }
    // The style the hook paints with: the control's own when it has one
    // (SetStyle), else the application's.
    TCustomStyleServices* Style() const;
    void SetStyle(TCustomStyleServices* Value) { FStyle = Value; }
    // Whether the control's own procedure runs after the hook's.
    bool CallDefaultProc() const { return FCallDefaultProc; }
    void SetCallDefaultProc(bool Value) { FCallDefaultProc = Value; }
    bool OverrideEraseBkgnd() const { return FOverrideEraseBkgnd; }
    void SetOverrideEraseBkgnd(bool Value) { FOverrideEraseBkgnd = Value; }
    // True when the hook handled the message.
    virtual bool HandleMessage(TMessage& Message) { return false; }

protected:
    TWinControl* FControl = nullptr;
    TCustomStyleServices* FStyle = nullptr;
    bool FCallDefaultProc = true;
    bool FOverrideEraseBkgnd = false;
};

class TMouseTrackControlStyleHook : public TStyleHook {
    X_CLASS(TMouseTrackControlStyleHook, TStyleHook)
};
class TButtonStyleHook : public TMouseTrackControlStyleHook {
    X_CLASS(TButtonStyleHook, TMouseTrackControlStyleHook)
};
class TCheckBoxStyleHook : public TMouseTrackControlStyleHook {
    X_CLASS(TCheckBoxStyleHook, TMouseTrackControlStyleHook)
};
class TScrollingStyleHook : public TMouseTrackControlStyleHook {
    X_CLASS(TScrollingStyleHook, TMouseTrackControlStyleHook)
};
class TComboBoxStyleHook : public TMouseTrackControlStyleHook {
    X_CLASS(TComboBoxStyleHook, TMouseTrackControlStyleHook)
};
class TListViewStyleHook : public TScrollingStyleHook {
    X_CLASS(TListViewStyleHook, TScrollingStyleHook)
public:
    void Create(TWinControl* AControl) override;
};
class TTreeViewStyleHook : public TScrollingStyleHook {
    X_CLASS(TTreeViewStyleHook, TScrollingStyleHook)
};
class TFormStyleHook : public TMouseTrackControlStyleHook {
    X_CLASS(TFormStyleHook, TMouseTrackControlStyleHook)
};

// The engine that hands a styled control's messages to its hooks.
class TCustomStyleEngine : public TObject {
    X_CLASS(TCustomStyleEngine, TObject)
public:
    // Raises EStyleEngineException when the pair is registered already.
    void RegisterStyleHook(TClass ControlClass, TClass StyleHookClass);
    void UnRegisterStyleHook(TClass ControlClass, TClass StyleHookClass);
    // The hook classes of the class nearest to ControlClass that has any
    // (its own class first), the last registered first.
    std::vector<TClass> StyleHooks(TClass ControlClass) const;
    // Offers a message to the control's hooks; true when one handled it.
    // With the system style no hook takes any.
    virtual bool HandleMessage(TWinControl* Control, TMessage& Message);

private:
    std::vector<std::pair<TClass, TClass>> FHooks;
};

class TStyleEngine : public TCustomStyleEngine {
    X_CLASS(TStyleEngine, TCustomStyleEngine)
};

class TStyleManager {
public:
    static TCustomStyleServices* ActiveStyle();
    // The style of that name (without regard to case), null when none.
    static TCustomStyleServices* Style(StringView Name);
    static std::vector<String> StyleNames();
    static bool IsCustomStyleActive() { return !ActiveStyle()->IsSystemStyle(); }
    // False: only the system style is there.
    static bool TrySetStyle(StringView Name);
    static TCustomStyleEngine* Engine();
    // A style besides the system one, borrowed until unregistered (a
    // test's stand-in: the programs register none). A name already there
    // is refused.
    static void RegisterStyle(TCustomStyleServices* Style);
    static void UnRegisterStyle(TCustomStyleServices* Style);
};

TCustomStyleServices* StyleServices();
