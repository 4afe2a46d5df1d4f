#include "forms/XSpark.VCL.Maps.h"
#include "core/XCore.Errors.h"
#include "graphics/XMedia.Converters.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XMedia.Types.h"
#include "vcl/Forms.h"
#include "vcl/MessageMap.h"
#include "win/Painting.h"
#include <cmath>
#include <limits>

using XSpark::Actions::Hit::TXAreaCollection;

X_REGISTER_CLASS(TXAreasHandlerState)
X_REGISTER_CLASS(TXImageAreasHandlerState)
X_REGISTER_CLASS(TXImagesAreasHandlerState)
X_REGISTER_CLASS(TXAreasHandler)
X_REGISTER_CLASS(TXCustomMap)
X_REGISTER_CLASS(TXMap)
X_REGISTER_CLASS(TXContainedMap)

X_MESSAGES(TXCustomMap)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
}

X_PUBLISHED(TXCustomMap)
{
    X_EVENT(OnAreaSelected, OnAreaSelected);
    X_EVENT(OnAreaDeselected, OnAreaDeselected);
    X_EVENT(OnHitCommand, OnHitCommand);
}

X_PUBLISHED(TXMap)
{
    X_PROP(AutoSize, AutoSize, SetAutoSize).Default(false);
}

X_PUBLISHED(TXContainedMap)
{
    X_PROP(Areas, Areas, SetAreas);
    X_PROP(Images, Images, SetImages);
    X_METHOD(AreasHit);
    X_METHOD(AreasSelected);
    X_METHOD(AreasDeselected);
}

namespace {

constexpr Integer BitHot = 2;
constexpr Integer BitOn = 4;
constexpr Integer BitPressed = 6;

bool Holds(TXHitAreaItem* Item, Integer X, Integer Y)
{
    return IsPointInRect(TPoint { X, Y }, Item->Rect());
}

bool HasBit(TXHitAreaItem* Item, Integer Bit)
{
    return (Item->State() & (1 << Bit)) != 0;
}

// Value x Num / Den rounded, in 64 bits, kept within 32 bits.
Integer ScaledCoord(Integer Value, Integer Num, Integer Den)
{
    const double R = std::nearbyint(double(Int64(Value) * Num) / double(Den));
    const double Lim = double(std::numeric_limits<Integer>::max());
    return Integer(std::clamp(R, -Lim, Lim));
}

} // namespace

// ---- states ----

void TXAreasHandlerState::Create(TXAreasHandler* AHandler)
{
    inherited::Create();
    FHandler = AHandler;
}

void TXImageAreasHandlerState::MouseLeave()
{
    for (Integer I = 0; I < FHandler->Areas()->Count(); ++I)
        FHandler->Area(I)->ExcludeState(BitHot);
}

void TXImageAreasHandlerState::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button != mbLeft || !FHandler->Map()->Enabled())
        return;
    const Integer Target = FHandler->AreaAt(X, Y);
    if (Target > 0) {
        if (FHandler->Area(Target)->IsEnabled())
            FHandler->Area(Target)->IncludeState(BitPressed);
    } else if (TXHitAreaItem* Back = FHandler->Area(0); Back && Back->Hit() != xhtNone)
        Back->IncludeState(BitPressed);
}

void TXImageAreasHandlerState::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button != mbLeft || !FHandler->Map()->Enabled())
        return;
    const Integer Target = FHandler->AreaAt(X, Y);
    TXHitAreaItem* Item = Target > 0 ? FHandler->Area(Target) : FHandler->Area(0);
    if (Item && (Target <= 0 || Item->IsEnabled())) {
        // Setting "on" runs the area's action and the map's handlers.
        TLifeWatch Watch(LifeMark());
        Item->IncludeState(BitOn);
        if (Watch.Freed())
            return;
    }
    for (Integer I = 0; I < FHandler->Areas()->Count(); ++I)
        FHandler->Area(I)->ExcludeState(BitPressed);
}

void TXImageAreasHandlerState::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    if (!FHandler->Map()->Enabled())
        return;
    TXHitAreaItem* Target = nullptr;
    for (Integer I = 1; I < FHandler->Areas()->Count(); ++I) {
        TXHitAreaItem* A = FHandler->Area(I);
        if (Holds(A, X, Y))
            Target = A;
        else
            A->ExcludeState(BitHot);
    }
    TXHitAreaItem* Back = FHandler->Area(0);
    if (!Target) {
        if (Back) {
            Back->IncludeState(BitHot);
            FHandler->TakeCursorAndHint(Back, true);
        }
        return;
    }
    if (Back)
        Back->ExcludeState(BitHot);
    Target->IncludeState(BitHot);
    FHandler->TakeCursorAndHint(Target, false);
}

bool TXImagesAreasHandlerState::StateImageDiffers(TXPaintState StateA, TXPaintState StateB) const
{
    return StateImageIndex(FHandler->Indexes(), StateA) != StateImageIndex(FHandler->Indexes(), StateB);
}

void TXImagesAreasHandlerState::MouseLeave()
{
    TXHitAreaItem* Back = FHandler->Area(0);
    const bool BackWasHot = Back && HasBit(Back, BitHot);
    if (Back)
        Back->ExcludeState(BitHot);
    bool Any = false;
    for (Integer I = 1; I < FHandler->Areas()->Count(); ++I) {
        TXHitAreaItem* A = FHandler->Area(I);
        const TXPaintState Old = A->PaintState();
        A->ExcludeState(BitHot);
        if (!BackWasHot && StateImageDiffers(Old, A->PaintState())) {
            FHandler->InvalidateArea(A);
            Any = true;
        }
    }
    if (BackWasHot)
        FHandler->RepaintMap();
    else if (Any)
        FHandler->UpdateMap();
}

void TXImagesAreasHandlerState::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button != mbLeft || !FHandler->Map()->Enabled())
        return;
    const Integer Target = FHandler->AreaAt(X, Y);
    if (Target > 0) {
        TXHitAreaItem* A = FHandler->Area(Target);
        const TXPaintState Old = A->PaintState();
        if (A->IsEnabled() && A->IncludeState(BitPressed) && StateImageDiffers(Old, A->PaintState())) {
            FHandler->InvalidateArea(A);
            FHandler->UpdateMap();
        }
    } else if (TXHitAreaItem* Back = FHandler->Area(0); Back && Back->Hit() != xhtNone) {
        if (Back->IncludeState(BitPressed))
            FHandler->RepaintMap();
    }
}

void TXImagesAreasHandlerState::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button != mbLeft || !FHandler->Map()->Enabled())
        return;
    const Integer Target = FHandler->AreaAt(X, Y);
    TXHitAreaItem* Back = FHandler->Area(0);
    bool Changed = false;
    {
        // Setting "on" runs the area's action and the map's handlers.
        TLifeWatch Watch(LifeMark());
        if (Target > 0) {
            TXHitAreaItem* A = FHandler->Area(Target);
            if (A->IsEnabled()) {
                const TXPaintState Old = A->PaintState();
                A->ExcludeState(BitPressed);
                Changed = A->IncludeState(BitOn);
                if (Watch.Freed())
                    return;
                A = FHandler->Area(Target);
                if (A && StateImageDiffers(Old, A->PaintState()))
                    FHandler->InvalidateArea(A);
            }
        } else if (Back) {
            Changed = Back->IncludeState(BitOn);
            if (Watch.Freed())
                return;
        }
    }
    Back = FHandler->Area(0);
    const bool BackLost = Back && Back->ExcludeState(BitPressed);
    if (Changed || BackLost) {
        for (Integer I = 1; I < FHandler->Areas()->Count(); ++I)
            FHandler->Area(I)->ExcludeState(BitPressed);
        FHandler->RepaintMap();
        return;
    }
    bool Any = false;
    for (Integer I = 1; I < FHandler->Areas()->Count(); ++I) {
        TXHitAreaItem* A = FHandler->Area(I);
        const TXPaintState Old = A->PaintState();
        if (A->ExcludeState(BitPressed) || StateImageDiffers(Old, A->PaintState())) {
            FHandler->InvalidateArea(A);
            Any = true;
        }
    }
    if (Any)
        FHandler->UpdateMap();
}

void TXImagesAreasHandlerState::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    if (!FHandler->Map()->Enabled())
        return;
    TXHitAreaItem* Target = nullptr;
    bool Any = false;
    for (Integer I = 1; I < FHandler->Areas()->Count(); ++I) {
        TXHitAreaItem* A = FHandler->Area(I);
        if (Holds(A, X, Y)) {
            Target = A;
            continue;
        }
        const TXPaintState Old = A->PaintState();
        if (A->ExcludeState(BitHot) && StateImageDiffers(Old, A->PaintState())) {
            FHandler->InvalidateArea(A);
            Any = true;
        }
    }
    if (Any)
        FHandler->UpdateMap();
    TXHitAreaItem* Back = FHandler->Area(0);
    if (!Target) {
        if (Back) {
            if (Back->IncludeState(BitHot))
                FHandler->RepaintMap();
            FHandler->TakeCursorAndHint(Back, true);
        }
        return;
    }
    const bool LeftBack = Back && Back->ExcludeState(BitHot);
    const TXPaintState Old = Target->PaintState();
    Target->IncludeState(BitHot);
    if (LeftBack)
        FHandler->RepaintMap();
    else if (StateImageDiffers(Old, Target->PaintState())) {
        FHandler->InvalidateArea(Target);
        FHandler->UpdateMap();
    }
    FHandler->TakeCursorAndHint(Target, false);
}

// ---- handler ----

void TXAreasHandler::Create(TXCustomMap* AMap)
{
    inherited::Create();
    FMap = AMap;
    ChooseState();
}

void TXAreasHandler::ChooseState()
{
    TClass Class = TXAreasHandlerState::StaticClass();
    if (FAreas) {
        const Integer Normal = StateImageIndex(FIndexes, cstOff);
        const bool OnePicture = std::all_of(FIndexes.begin(), FIndexes.end(), [&](Integer I) { return I == Normal; });
        Class = OnePicture ? TXImageAreasHandlerState::StaticClass() : TXImagesAreasHandlerState::StaticClass();
    }
    TOwnedPtr<TXAreasHandlerState> Next(
        Construct(static_cast<TXAreasHandlerState*>(Class->NewInstance()), this));
    // The old state may be running (a handler set new pictures): it sees
    // its mark go and touches nothing more.
    FState.swap(Next);
}

Integer TXAreasHandler::AreaAt(Integer X, Integer Y) const
{
    if (!FAreas)
        return -1;
    for (Integer I = 1; I < FAreas->Count(); ++I)
        if (Holds(FAreas->Items(I), X, Y))
            return I;
    return -1;
}

TXHitAreaItem* TXAreasHandler::Area(Integer Index) const
{
    return FAreas && Index >= 0 && Index < FAreas->Count() ? FAreas->Items(Index) : nullptr;
}

void TXAreasHandler::TakeCursorAndHint(TXHitAreaItem* Item, bool CancelAlways)
{
    FMap->SetCursor(Item->Cursor());
    if (!CancelAlways && FMap->Hint() == Item->Hint())
        return;
    FMap->SetHint(Item->Hint());
    if (Application)
        Application->CancelHint();
}

void TXAreasHandler::InvalidateArea(TXHitAreaItem* Item)
{
    if (!FMap->HandleAllocated())
        return;
    const TRect& R = Item->Rect();
    const RECT Area { R.Left, R.Top, R.Right, R.Bottom };
    InvalidateRect(FMap->Handle(), &Area, false);
}

void TXAreasHandler::UpdateMap()
{
    if (FMap->HandleAllocated())
        UpdateWindow(FMap->Handle());
}

void TXAreasHandler::RepaintMap()
{
    FMap->Repaint();
}

// ---- map ----

void TXCustomMap::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    TControlStyle Style = ControlStyle();
    Style.Include(csAcceptsControls);
    Style.Include(csOpaque);
    SetControlStyle(Style);
    FHandler.reset(New<TXAreasHandler>(this));
}

void TXCustomMap::BeforeDestruction()
{
    FMapData = nullptr;
    inherited::BeforeDestruction();
}

LRESULT TXCustomMap::HitTest(TPoint Point)
{
    TXAreaCollection* Areas = FHandler->Areas();
    if (!Areas || Areas->Count() == 0)
        return HitTypeToNCHitTest(xhtClient);
    Integer I = FHandler->AreaAt(Point.X, Point.Y);
    if (I < 0)
        I = 0;
    return HitTypeToNCHitTest(Areas->Items(I)->Hit());
}

void TXCustomMap::SetMapData(TXMapDataObject* MapData)
{
    FMapData = MapData;
    ImagesChanged();
}

void TXCustomMap::SetAutoSize(bool Value)
{
    FAutoSize = Value;
    SizeToPicture();
}

void TXCustomMap::ImagesChanged()
{
    FPictures.clear();
    FDecoded.clear();
    SizeToPicture();
    Invalidate();
}

void TXCustomMap::SizeToPicture()
{
    if (!FAutoSize || !FMapData || ComponentState().Contains(csDesigning))
        return;
    const TXSize S = PictureSize(StateImageIndex(FHandler->Indexes(), Enabled() ? cstOff : cstDis));
    if (S.Width > 0 && S.Height > 0)
        SetBounds(Left(), Top(), S.Width, S.Height);
}

TBitmap* TXCustomMap::Picture(Integer Index)
{
    if (!FMapData || Index < 0 || Index >= FMapData->Images()->Count())
        return nullptr;
    if (FPictures.size() != size_t(FMapData->Images()->Count())) {
        FPictures.clear();
        FPictures.resize(size_t(FMapData->Images()->Count()));
        FDecoded.assign(FPictures.size(), false);
    }
    if (!FDecoded[size_t(Index)]) {
        // Decoded once; one that fails stays empty.
        FDecoded[size_t(Index)] = true;
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        IPtr<IXObjectConverter<TBitmap*>>(
            New<TXImageObjectToBitmapConverter>(FMapData->Images()->Items(Index)->ImageData()))
            ->Convert(Bmp.get());
        if (!Bmp->Empty())
            FPictures[size_t(Index)] = std::move(Bmp);
    }
    return FPictures[size_t(Index)].get();
}

TXSize TXCustomMap::PictureSize(Integer Index)
{
    if (!FMapData || Index < 0 || Index >= FMapData->Images()->Count())
        return {};
    TXImageObject* Object = FMapData->Images()->Items(Index)->ImageData();
    if (StoredSizeUsable(Object->Width(), Object->Height()))
        return Object->ImageSize();
    TBitmap* Bmp = Picture(Index);
    return Bmp ? TXSize { Bmp->Width(), Bmp->Height() } : TXSize {};
}

void TXCustomMap::Paint()
{
    inherited::Paint();
    if (!FMapData || FMapData->Images()->Count() == 0)
        return;
    TCanvas* C = Canvas();
    const TRect Clip = C->ClipRect();
    // Each part from the same place of the picture of its state.
    auto DrawPart = [&](TXPaintState State, const TRect& Part) {
        TBitmap* Bmp = Picture(StateImageIndex(FHandler->Indexes(), State));
        TRect Inside;
        if (Bmp && RectIntersect(Part, Rect(0, 0, Bmp->Width(), Bmp->Height()), Inside))
            C->CopyRect(Inside, Bmp->Canvas(), Inside);
    };
    DrawPart(Enabled() ? cstOff : cstDis, Clip);
    if (TXAreaCollection* Areas = FHandler->Areas())
        for (Integer I = 1; I < Areas->Count(); ++I) {
            TRect Part;
            if (RectIntersect(Clip, Areas->Items(I)->Rect(), Part))
                DrawPart(Areas->Items(I)->PaintState(), Part);
        }
}

void TXCustomMap::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(LifeMark());
    inherited::MouseDown(Button, Shift, X, Y);
    if (!Watch.Freed())
        FHandler->State()->MouseDown(Button, Shift, X, Y);
}

void TXCustomMap::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(LifeMark());
    inherited::MouseUp(Button, Shift, X, Y);
    if (!Watch.Freed())
        FHandler->State()->MouseUp(Button, Shift, X, Y);
}

void TXCustomMap::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(LifeMark());
    inherited::MouseMove(Shift, X, Y);
    if (!Watch.Freed())
        FHandler->State()->MouseMove(Shift, X, Y);
}

void TXCustomMap::CMMouseEnter(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        FHandler->State()->MouseEnter();
}

void TXCustomMap::CMMouseLeave(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        FHandler->State()->MouseLeave();
}

void TXCustomMap::WMEraseBkgnd(TMessage& Message)
{
    if (ComponentState().Contains(csDesigning))
        X_INHERITED_MESSAGE(Message);
    else
        Message.Result = 1;
}

void TXCustomMap::ScaleMapData(TXMapDataObject* MapData, Integer Width, Integer Height)
{
    if (!MapData || MapData->Images()->Count() == 0)
        return;
    TXImageObject* First = MapData->Images()->Items(0)->ImageData();
    TXSize Own = First->ImageSize();
    if (Own.Width == 0 || Own.Height == 0)
        return;
    if (!StoredSizeUsable(Own.Width, Own.Height)) {
        // A size from the data beyond the cap gives way to the picture's.
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(First))->Convert(Bmp.get());
        Own = { Bmp->Width(), Bmp->Height() };
    }
    if (Own.Width == 0 || Own.Height == 0)
        return;
    TXAreaCollection* Areas = MapData->Areas();
    for (Integer I = 0; I < Areas->Count(); ++I) {
        const TRect& R = Areas->Items(I)->Rect();
        Areas->Items(I)->SetRect(Rect(ScaledCoord(R.Left, Width, Own.Width), ScaledCoord(R.Top, Height, Own.Height),
            ScaledCoord(R.Right, Width, Own.Width), ScaledCoord(R.Bottom, Height, Own.Height)));
    }
    for (Integer I = 0; I < MapData->Images()->Count(); ++I) {
        TXImageObject* Object = MapData->Images()->Items(I)->ImageData();
        const Integer W = ScaledCoord(Object->Width(), Width, Own.Width);
        const Integer H = ScaledCoord(Object->Height(), Height, Own.Height);
        if (Object->IsIcon()) {
            Object->SetWidth(W);
            Object->SetHeight(H);
            continue;
        }
        if (Object->DataStream()->Size() == 0)
            continue;
        XGuarded(xecReadFailed, false, [&] {
            CheckGraphicSize(W, H);
            TOwnedPtr<TBitmap> Source(MakeOwned<TBitmap>());
            IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Object))->Convert(Source.get());
            if (Source->Empty())
                return;
            Source->SetPixelFormat(pf32bit);
            TOwnedPtr<TBitmap> Scaled(MakeOwned<TBitmap>());
            ResampleBitmap(Source.get(), Scaled.get(), W, H);
            Object->LoadFromObject(Scaled.get());
        });
    }
}

// ---- contained map ----

void TXContainedMap::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FOwnData.reset(New<TXMapDataObject>());
    FOwnData->SetOwner(this);
    GetStateImageIndexesOfCollection(FOwnData->Images(), AreasHandler()->Indexes());
    TXAreaCollection* A = FOwnData->Areas();
    A->OnHit.SetMethod({ MethodAddress(StaticClass(), u"AreasHit"), this });
    A->OnAreaSelected.SetMethod({ MethodAddress(StaticClass(), u"AreasSelected"), this });
    A->OnAreaDeselected.SetMethod({ MethodAddress(StaticClass(), u"AreasDeselected"), this });
    AreasHandler()->SetAreas(A);
    AreasHandler()->ChooseState();
    inherited::SetMapData(FOwnData.get());
}

void TXContainedMap::AreasHit(TObject* Owner, TXHitItem* Item)
{
    const TXHitCommandEvent Call = OnHitCommand;
    Call(this, 0, Item->Hit(), Item->DisplayName(), Item->Command(), Item->Args());
}

void TXContainedMap::AreasSelected(TObject* Owner, TXHitAreaItem* Item)
{
    const TXAreaEvent Call = OnAreaSelected;
    Call(this, Item);
}

void TXContainedMap::AreasDeselected(TObject* Owner, TXHitAreaItem* Item)
{
    const TXAreaEvent Call = OnAreaDeselected;
    Call(this, Item);
}

void TXContainedMap::SetMapData(TXMapDataObject* MapData)
{
    if (MapData && MapData != FOwnData.get())
        FOwnData->Assign(MapData);
    GetStateImageIndexesOfCollection(FOwnData->Images(), AreasHandler()->Indexes());
    AreasHandler()->ChooseState();
    inherited::SetMapData(FOwnData.get());
}

void TXContainedMap::SetAreas(TXAreaCollection* Value)
{
    CopyMapContent(FOwnData->Areas(), FOwnData->Images(), Value, FOwnData->Images());
    AreasHandler()->ChooseState();
    Invalidate();
}

void TXContainedMap::SetImages(TXImageCollection* Value)
{
    CopyMapContent(FOwnData->Areas(), FOwnData->Images(), FOwnData->Areas(), Value);
    GetStateImageIndexesOfCollection(FOwnData->Images(), AreasHandler()->Indexes());
    AreasHandler()->ChooseState();
    ImagesChanged();
}

void TXContainedMap::LoadMap(TXMapObject* MapObject)
{
    XGuarded(xecReadFailed, false, [&] {
        if (!MapObject)
            return;
        CopyMapContent(FOwnData->Areas(), FOwnData->Images(), MapObject->Areas(), MapObject->Images());
        if (FOwnData->Areas()->Count() == 0) {
            TXHitAreaItem* All = FOwnData->Areas()->Add();
            All->SetRect(Rect(0, 0, Width(), Height()));
        }
        GetStateImageIndexes(FOwnData->Images(), MapObject->ImagesSuffix(), AreasHandler()->Indexes());
        AreasHandler()->ChooseState();
        ImagesChanged();
        Integer W = MapObject->Width(), H = MapObject->Height();
        if (W > 0 && H > 0 && !StoredSizeUsable(W, H)) {
            // A size from the data beyond the cap gives way to the picture's.
            const TXSize S = PictureSize(StateImageIndex(AreasHandler()->Indexes(), cstOff));
            W = S.Width;
            H = S.Height;
        }
        if (W > 0)
            SetWidth(W);
        if (H > 0)
            SetHeight(H);
    });
    Invalidate();
}
