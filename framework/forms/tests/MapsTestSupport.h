// Image maps for the tests: state pictures of one colour each with a dark
// mark where an area is, so a drawing shows which picture a point came from.
#pragma once
#include "gdi/tests/GdiTestSupport.h"
#include "graphics/XSpark.Skin.Data.h"
#include "forms/XSpark.Maps.h"

namespace MapTests {

// The colour of the picture of a state.
inline TColor StateColor(TXPaintState State)
{
    switch (State) {
    case cstHot: return RGB(250, 200, 40);
    case cstPress: return RGB(200, 40, 40);
    case cstOn: return RGB(40, 160, 60);
    default: return RGB(60, 90, 200);
    }
}

// A PNG of Width x Height in State's colour.
inline void AddStatePicture(TXImageCollection* Images, TXPaintState State, const String& Base, Integer Width,
    Integer Height)
{
    TXImageItem* Item = Images->Add();
    Item->SetName(StateImagePrefix(State) + Base);
    TOwnedPtr<TBitmap> Bmp(GdiTest::SolidBitmap(pf24bit, Width, Height, StateColor(State)));
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp.get());
    Item->ImageData()->LoadFromObject(Png.get());
}

inline TXHitAreaItem* AddArea(XSpark::Actions::Hit::TXAreaCollection* Areas, const TRect& R,
    TXHitType Hit = xhtCustom, const String& Name = {})
{
    TXHitAreaItem* A = Areas->Add();
    A->SetRect(R);
    A->SetHit(Hit);
    A->SetDisplayName(Name);
    A->SetCommand(Name);
    return A;
}

// A 200 x 100 map "menu": the background area (the client's hit code, so
// it takes the mouse) and two buttons; with
// States, its own picture per state, else one picture for every state.
inline void FillMap(TXCustomMapObject* Map, bool States)
{
    Map->SetImagesSuffix(u"menu");
    Map->SetWidth(200);
    Map->SetHeight(100);
    AddArea(Map->Areas(), { 0, 0, 200, 100 }, xhtClient, u"background");
    AddArea(Map->Areas(), { 10, 10, 90, 40 }, xhtCustom, u"next");
    AddArea(Map->Areas(), { 110, 10, 190, 40 }, xhtCustom, u"prev");
    AddStatePicture(Map->Images(), cstOff, u"menu", 200, 100);
    if (States)
        for (TXPaintState S : { cstHot, cstPress, cstOn })
            AddStatePicture(Map->Images(), S, u"menu", 200, 100);
}

} // namespace MapTests
