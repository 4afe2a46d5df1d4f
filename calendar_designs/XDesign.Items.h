// Design items: the rectangles a design page is stacked from. An item keeps
// its geometry and anchors in design units, sorts itself into its page's
// anchor chains, is scaled to pixels and resolved against the page margins
// or other items' edges, and is composited onto the page bitmap through
// cached layer bitmaps with a key colour and a constant opacity.
//
// Published properties are set through six indexed setters; every item
// kind handles its own index range (0, 50, 100, 150, 200) and passes the
// rest to its base.
#pragma once
#include "calendar_designs/XDesign.Gradients.h"
#include "core/XClasses.h"
#include "gdi/Bitmap.h"
#include "graphics/XSpark.Actions.Hit.h"
#include <array>

using TXAreaCollection = XSpark::Actions::Hit::TXAreaCollection;

class TXPageObject;
class TXDGroupItem;
class TXDDefaultItem;

// Paint flags: placeholder boxes instead of pictures (quick print), and a
// 24-bit target (printing).
inline constexpr Cardinal dpfPlaceholders = 4;
inline constexpr Cardinal dpf24Bit = 0x40;
// The flags of a render on screen.
inline constexpr Cardinal dpfRender = 16;

// The key colour of layers when an item names none.
inline constexpr TColor DesignKeyColor = 0xFF00FF;

// An item's own magenta must not be keyed out: $FF00FF becomes $FE00FF.
TColor SafeColor(TColor Color);

// True when a W x H bitmap stays within the picture cap, so no data can make
// a layer or page allocate without bound.
bool DesignBitmapFits(Int64 Width, Int64 Height);

// Rounded half to even and held within 32 bits: sizes from stored data
// may be anything.
Integer SaturateToInteger(double Value);
Integer SaturateToInteger(Int64 Value);

// The ordered item list of a page; it calls OnListChanged after every
// insertion and removal (not after a move).
class TXDesignList : public XClasses::TXObjectList {
    X_CLASS(TXDesignList, XClasses::TXObjectList)
public:
    class TXDesignItem* Items(Integer Index) const;
    std::function<void(TXDesignList* List)> OnListChanged;

protected:
    void Notify(TObject* const& Item, TCollectionNotification Action) override;
};

// Indexes of the integer properties of every item.
enum TXDesignIntProp {
    dipWidth,
    dipHeight,
    dipLeft,
    dipTop,
    dipGroupID,
    dipAXIdx,
    dipAYIdx,
    dipAlL,
    dipAlT,
    dipAlR,
    dipAlB,
    dipAlLTo,
    dipAlTTo,
    dipAlRTo,
    dipAlBTo,
    dipMinW,
    dipMinH,
    dipMaxW,
    dipMaxH,
    dipCount
};

class TXDesignItem : public TXChangeableObject {
    X_CLASS(TXDesignItem, TXChangeableObject)
public:
    void Init() override;
    void BeforeDestruction() override;
    // A default writes itself in; another item is copied (Copy).
    bool AssignFrom(TPersistent* Source) override;

    virtual void SetIntProp(Integer Index, Integer Value);
    virtual Integer GetIntProp(Integer Index) const;
    virtual void SetByteProp(Integer Index, Byte Value);
    virtual Byte GetByteProp(Integer Index) const;
    virtual void SetBoolProp(Integer Index, bool Value);
    virtual bool GetBoolProp(Integer Index) const;
    virtual void SetColorProp(Integer Index, TColor Value);
    virtual TColor GetColorProp(Integer Index) const;
    virtual void SetStrProp(Integer Index, const String& Value);
    virtual String GetStrProp(Integer Index) const;
    virtual void SetFloatProp(Integer Index, double Value);
    virtual double GetFloatProp(Integer Index) const;
    virtual void SetAutoSize(bool Value) { FAutoSize = Value; }
    virtual void SetOuterWidth(Integer Value) { SetIntProp(dipWidth, Value); }
    virtual Integer GetOuterWidth() const { return Width(); }
    virtual void SetOuterHeight(Integer Value) { SetIntProp(dipHeight, Value); }
    virtual Integer GetOuterHeight() const { return Height(); }
    virtual void ResetSize();
    virtual void Scale(Integer DPI, Integer ImageDPI);
    virtual void PaintBackground(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) { }
    virtual void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) { }
    virtual void AttachToPage(TXPageObject* APage);
    // Only the page link and the change wiring (the page's own background
    // item, which stays out of the anchor lists).
    void AttachToPageOnly(TXPageObject* APage);
    virtual void ApplyDataDefaults();
    virtual void CollectHitAreas(TXAreaCollection* Areas);
    virtual void Paint(TBitmap* Target, const TRect& PageRect, Cardinal Flags);
    virtual void Rescale(double XFactor, double YFactor);
    virtual TRect GetBoundsRect() const;
    virtual bool HasNoBackground() const { return false; }

    // Both axes against the page's references; after Scale.
    void ResolveAnchors();
    // Takes the defaults named in DefaultNames from List, line by line.
    void ApplyDefaultsFrom(TObjectList* List);
    // Takes Default when its name is one of the DefaultNames lines.
    void ApplyDefault(TXDDefaultItem* Default);
    void MarkDirty() { FDirty = true; }
    // What the "Date" and "Format" defaults write; the calendar items take
    // them, every other item ignores them.
    virtual void TakeDate(Word Day, Word Month, Integer Year) { }
    virtual void TakeFormatSettings(const struct TXFormatSettings& Settings) { }
    // What the "VCalendar" default writes: the month and schedule items
    // fill their live objects from the engine.
    virtual void TakeCalendarEngine(class TXVActiveCalendarEngine* Engine) { }

    // Published properties.
    Integer Width() const { return FInt[dipWidth]; }
    Integer Height() const { return FInt[dipHeight]; }
    Integer Left() const { return FInt[dipLeft]; }
    Integer Top() const { return FInt[dipTop]; }
    Integer GroupID() const { return FInt[dipGroupID]; }
    Integer AXIdx() const { return FInt[dipAXIdx]; }
    Integer AYIdx() const { return FInt[dipAYIdx]; }
    String DefaultName() const;
    void SetDefaultName(const String& Value);
    String DataName() const;
    void SetDataName(const String& Value);
    bool Visible() const { return FVisible; }
    bool Scaled() const { return FScaled; }
    void SetScaled(bool Value) { FScaled = Value; }
    bool ProportionalScale() const { return FProportionalScale; }
    void SetProportionalScale(bool Value) { FProportionalScale = Value; }
    bool FullPage() const { return FFullPage; }
    bool UseBgAlpha() const { return FUseBgAlpha; }
    TColor TransparentColor() const { return FTransparentColor; }
    Byte Alpha() const { return FAlpha; }
    Byte BgAlpha() const { return FBgAlpha; }
    bool AutoSize() const { return FAutoSize; }

    TStringList* DefaultNames() const { return FDefaultNames.get(); }
    TStringList* DataNames() const { return FDataNames.get(); }
    TXPageObject* Page() const { return FPage; }
    TXDGroupItem* Group() const { return FGroup; }
    void SetGroup(TXDGroupItem* Value) { FGroup = Value; }
    TBitmap* LayerBitmap() const { return FLayerBitmap.get(); }
    TBitmap* BgLayerBitmap() const { return FBgLayerBitmap.get(); }
    bool Dirty() const { return FDirty; }
    bool UnderlayInLayer() const { return FUnderlayInLayer; }
    // The key colour of the layers: TransparentColor, or magenta.
    TColor KeyColor() const;

    // The pixel box of the last layout pass.
    Integer BaseWidth = 0, BaseHeight = 0;
    Integer PixWidth = 0, PixHeight = 0, PixLeft = 0, PixTop = 0;
    Integer PixAlL = 0, PixAlT = 0, PixAlR = 0, PixAlB = 0;

    // Membership in the page's anchor lists, kept by the page.
    bool InXChain = false, InYChain = false, InRemaining = false;

protected:
    // Geometry changed: the page lays out again.
    void GeometryChanged(bool NewLook);
    // Look changed: the layers are painted again.
    void LookChanged();
    // The copy from another item; kinds copy their own fields first.
    virtual void CopyFrom(TXDesignItem* Source);

    std::array<Integer, dipCount> FInt {};
    bool FVisible = true;
    bool FLocked = false;
    bool FUseBgAlpha = false;
    bool FFullPage = false;
    bool FScaled = true;
    bool FProportionalScale = false;
    bool FAutoSize = false;
    TColor FTransparentColor = clNone;
    Byte FAlpha = 255;
    Byte FBgAlpha = 255;
    bool FDirty = true;
    bool FUnderlayInLayer = false;
    TXPageObject* FPage = nullptr;
    TXDGroupItem* FGroup = nullptr;

private:
    void SetGroupID(Integer Value);
    // The layer bitmaps when the item's box may be painted at all.
    bool PrepareLayers(TBitmap* Target, Cardinal Flags, TColor Key, bool NoBackground);

    TOwnedPtr<TStringList> FDefaultNames;
    TOwnedPtr<TStringList> FDataNames;
    TOwnedPtr<TBitmap> FLayerBitmap;
    TOwnedPtr<TBitmap> FBgLayerBitmap;
};

inline TXDesignItem* TXDesignList::Items(Integer Index) const
{
    return static_cast<TXDesignItem*>(inherited::Items(Index));
}

// Publication helpers of the item kinds: a property behind an indexed setter.
namespace XDesignProps {
template<class T>
auto Int(XDetail::TPropDefiner<T>& D, const char16_t* Name, Integer Index)
{
    return D.Prop(
        Name, [Index](T* S) { return S->GetIntProp(Index); }, [Index](T* S, Integer V) { S->SetIntProp(Index, V); });
}
template<class T>
auto Byte_(XDetail::TPropDefiner<T>& D, const char16_t* Name, Integer Index)
{
    return D.Prop(
        Name, [Index](T* S) { return S->GetByteProp(Index); }, [Index](T* S, Byte V) { S->SetByteProp(Index, V); });
}
template<class T>
auto Bool(XDetail::TPropDefiner<T>& D, const char16_t* Name, Integer Index)
{
    return D.Prop(
        Name, [Index](T* S) { return S->GetBoolProp(Index); }, [Index](T* S, bool V) { S->SetBoolProp(Index, V); });
}
template<class T>
auto Color(XDetail::TPropDefiner<T>& D, const char16_t* Name, Integer Index)
{
    return D
        .Prop(
            Name, [Index](T* S) { return S->GetColorProp(Index); },
            [Index](T* S, TColor V) { S->SetColorProp(Index, V); })
        .Type(ColorTypeInfo());
}
template<class T>
auto Str(XDetail::TPropDefiner<T>& D, const char16_t* Name, Integer Index)
{
    return D.Prop(
        Name, [Index](T* S) { return S->GetStrProp(Index); },
        [Index](T* S, const String& V) { S->SetStrProp(Index, V); });
}
}
