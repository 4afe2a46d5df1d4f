// Image maps on screen: a picture whose areas follow the mouse. Each area
// shows, inside its rectangle, the picture of its own paint state (hot,
// pressed, on ...); a click sets "on", which runs the area's action or
// raises OnHitCommand.
//
//     auto* Map = New<TXContainedMap>(Form);
//     Map->SetParent(Form);
//     Map->LoadMap(MapObject);                // areas, pictures, size
//     Map->OnHitCommand = ...;
//
// Handlers may free the map (or what holds it) or change its areas and
// pictures: the mouse handling touches nothing of it afterwards.
#pragma once
#include "graphics/XSpark.VCL.h"
#include "graphics/XSpark.Skin.Data.h"
#include "forms/XSpark.Maps.h"

class TXCustomMap;
class TXAreasHandler;

// Mouse handling of a map without areas: nothing.
class TXAreasHandlerState : public TXObject {
    X_CLASS(TXAreasHandlerState, TXObject)
public:
    void Create(TXAreasHandler* AHandler);
    virtual void MouseEnter() { }
    virtual void MouseLeave() { }
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) { }
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) { }
    virtual void MouseMove(TShiftState Shift, Integer X, Integer Y) { }
    // Freed when the state is replaced or the map goes.
    TLifeMark& LifeMark() { return FLife; }

protected:
    TXAreasHandler* FHandler = nullptr;

private:
    TLifeMark FLife;
};

// One picture for every state: area states change, nothing repaints.
class TXImageAreasHandlerState : public TXAreasHandlerState {
    X_CLASS(TXImageAreasHandlerState, TXAreasHandlerState)
public:
    void MouseLeave() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
};

// A picture per state: the areas whose picture changed are repainted.
class TXImagesAreasHandlerState : public TXAreasHandlerState {
    X_CLASS(TXImagesAreasHandlerState, TXAreasHandlerState)
public:
    void MouseLeave() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    // The two states use different pictures.
    bool StateImageDiffers(TXPaintState StateA, TXPaintState StateB) const;
};

class TXAreasHandler : public TXObject {
    X_CLASS(TXAreasHandler, TXObject)
public:
    void Create(TXCustomMap* AMap);

    // A state object for the areas and pictures as they are now.
    void ChooseState();
    TXCustomMap* Map() const { return FMap; }
    XSpark::Actions::Hit::TXAreaCollection* Areas() const { return FAreas; }
    void SetAreas(XSpark::Actions::Hit::TXAreaCollection* Value) { FAreas = Value; }
    TXStateImageIndexes& Indexes() { return FIndexes; }
    TXAreasHandlerState* State() const { return FState.get(); }

    // The first area from 1 that holds the point; -1 for none.
    Integer AreaAt(Integer X, Integer Y) const;
    TXHitAreaItem* Area(Integer Index) const;
    // Cursor and hint of the area the mouse is over.
    void TakeCursorAndHint(TXHitAreaItem* Item, bool CancelAlways);
    void InvalidateArea(TXHitAreaItem* Item);
    void UpdateMap();
    void RepaintMap();

private:
    TXCustomMap* FMap = nullptr;
    XSpark::Actions::Hit::TXAreaCollection* FAreas = nullptr; // borrowed
    TXStateImageIndexes FIndexes {};
    TOwnedPtr<TXAreasHandlerState> FState;
};

class TXCustomMap : public TXCustomControl {
    X_CLASS(TXCustomMap, TXCustomControl)
    X_DECLARE_MESSAGES(TXCustomMap)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    // The code of the area under the point (the first from 1, else area
    // 0); xhtClient's without areas.
    LRESULT HitTest(TPoint Point) override;
    virtual void SetMapData(TXMapDataObject* MapData);
    TXMapDataObject* MapData() const { return FMapData; }
    TXAreasHandler* AreasHandler() const { return FHandler.get(); }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

    // Scales the areas and pictures of MapData to Width x Height from the
    // size of its first picture; nothing when that has a side of 0.
    static void ScaleMapData(TXMapDataObject* MapData, Integer Width, Integer Height);

    TXAreaEvent OnAreaSelected;
    TXAreaEvent OnAreaDeselected;
    TXHitCommandEvent OnHitCommand;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    void CMMouseEnter(TMessage& Message);
    void CMMouseLeave(TMessage& Message);
    void WMEraseBkgnd(TMessage& Message);
    // The pictures changed: decoded ones are dropped, the size follows.
    void ImagesChanged();
    // Width x Height of the normal state's picture with AutoSize on.
    void SizeToPicture();

    // The decoded picture at Index; null when there is none.
    TBitmap* Picture(Integer Index);
    // Its stored size, or the decoded one where that is beyond the cap.
    TXSize PictureSize(Integer Index);

private:

    TOwnedPtr<TXAreasHandler> FHandler;
    TXMapDataObject* FMapData = nullptr;
    bool FAutoSize = false;
    std::vector<TOwnedPtr<TBitmap>> FPictures;
    std::vector<bool> FDecoded;
};

class TXMap : public TXCustomMap {
    X_CLASS(TXMap, TXCustomMap)
};

// A map with map data of its own.
class TXContainedMap : public TXMap {
    X_CLASS(TXContainedMap, TXMap)
public:
    void Create(TComponent* AOwner) override;
    // Copies MapData into the own data.
    void SetMapData(TXMapDataObject* MapData) override;

    XSpark::Actions::Hit::TXAreaCollection* Areas() const { return FOwnData->Areas(); }
    void SetAreas(XSpark::Actions::Hit::TXAreaCollection* Value);
    TXImageCollection* Images() const { return FOwnData->Images(); }
    void SetImages(TXImageCollection* Value);
    // Areas (one over the whole control when the object has none),
    // pictures, state indexes by its suffix and its size. Failures are
    // swallowed; the map repaints in any case.
    void LoadMap(TXMapObject* MapObject);

private:
    // The areas' events, passed on as the map's.
    void AreasHit(TObject* Owner, TXHitItem* Item);
    void AreasSelected(TObject* Owner, TXHitAreaItem* Item);
    void AreasDeselected(TObject* Owner, TXHitAreaItem* Item);

    TOwnedPtr<TXMapDataObject> FOwnData;
};
