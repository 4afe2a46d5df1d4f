#include "forms/XSpark.VCL.MapContent.h"
#include "core/XPlatform.Utils.h"
#include "win/Monitors.h"

X_REGISTER_CLASS(TXMapContentFrame)
X_REGISTER_CLASS(TXSimpleMapContentFrame)

namespace {

template<class T>
T* ContentAs(IInterface* Content)
{
    return dynamic_cast<T*>(Content);
}

bool NonEmpty(TXImageObject* Object)
{
    return Object && !Object->IsEmpty();
}

// The natural size placed under Host's placement; the frame takes it at
// (0, 0).
TSize PlaceFrame(TControl* Frame, IXContentHost* Host, TSize Natural)
{
    TSize Size {}, Box {};
    CalcContentPlacement(Host, Natural, Size, Box);
    Frame->SetBounds(0, 0, Size.cx, Size.cy);
    return Size;
}

TSize NaturalSize(TXCustomSizeStreamObject* Object)
{
    return { Object->Width(), Object->Height() };
}

bool ShowsHints(IXContentHost* Host)
{
    return Host->GetContentForm() && Host->GetContentForm()->ShowHint();
}

} // namespace

// ---- map frame ----

void TXMapContentFrame::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FMap = New<TXContainedMap>(this);
    FMap->SetBounds(0, 0, Width(), Height());
    FMap->SetAlign(alClient);
    FMap->SetParent(this);
}

bool TXMapContentFrame::CanShow(IInterface* Content)
{
    if (auto* Map = ContentAs<TXMapObject>(Content))
        return Map->Areas()->Count() > 0;
    return NonEmpty(ContentAs<TXImageObject>(Content));
}

TControl* TXMapContentFrame::CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size)
{
    auto* Map = ContentAs<TXMapObject>(Content);
    auto* Picture = ContentAs<TXImageObject>(Content);
    if (!Map && !Picture)
        return nullptr;
    auto* Frame = New<TXMapContentFrame>(Host->GetContentForm());
    Size = PlaceFrame(Frame, Host, Map ? NaturalSize(Map) : NaturalSize(Picture));
    if (Map) {
        Frame->FMap->LoadMap(Map);
        TXMapDataObject* Data = Frame->FMap->MapData();
        TXCustomMap::ScaleMapData(Data, Size.cx, Size.cy);
        Frame->FMap->SetMapData(Data);
    } else
        Frame->FMap->Invalidate();
    Frame->FMap->SetShowHint(ShowsHints(Host));
    Frame->SetBounds(0, 0, Size.cx, Size.cy);
    return Frame;
}

// ---- simple map frame ----

void TXSimpleMapContentFrame::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FMapObject.reset(New<TXSimpleMapObject>());
    FImage = New<TXImage>(this);
    FImage->SetBounds(0, 0, Width(), Height());
    FImage->SetPosition(ipStretch);
    FImage->SetResample(true);
    FImage->SetCursor(crHandPoint);
    FImage->SetAlign(alClient);
    FImage->OnClick = [this](TObject*) { ImageClick(); };
    FImage->SetParent(this);
}

void TXSimpleMapContentFrame::BeforeDestruction()
{
    // The image lets go of the picture before the object goes.
    if (FImage)
        FImage->AssignImage(nullptr);
    inherited::BeforeDestruction();
}

bool TXSimpleMapContentFrame::CanShow(IInterface* Content)
{
    return NonEmpty(ContentAs<TXImageObject>(Content));
}

TControl* TXSimpleMapContentFrame::CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size)
{
    auto* Picture = ContentAs<TXImageObject>(Content);
    if (!Picture)
        return nullptr;
    auto* Frame = New<TXSimpleMapContentFrame>(Host->GetContentForm());
    Frame->FMapObject->Clear();
    Frame->FMapObject->Assign(Picture);
    Size = PlaceFrame(Frame, Host, NaturalSize(Frame->FMapObject.get()));
    Frame->FImage->AssignImage(Frame->FMapObject.get());
    Frame->FImage->SetHint(Frame->FMapObject->Hit()->Hint());
    Frame->FImage->SetCursor(Frame->FMapObject->Hit()->Cursor());
    Frame->FImage->SetShowHint(ShowsHints(Host));
    return Frame;
}

void TXSimpleMapContentFrame::ImageClick()
{
    TLifeWatch Watch(LifeMark());
    TXHitItem* Hit = FMapObject->Hit();
    // Programs, documents and web pages the item opens itself.
    if (Hit->Execute() || Watch.Freed())
        return;
    const Integer Monitor = HandleAllocated() ? GetWindowMonitorIndex(Handle(), MONITOR_DEFAULTTONEAREST) : 0;
    GetObservable()->SendNotification(NewNotification(New<TXHitAspect>(Monitor, Hit), this).Get());
}
