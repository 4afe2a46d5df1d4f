// Content frames of image maps for the content floats: a map with its
// areas (TXMapContentFrame) and a picture with one click action
// (TXSimpleMapContentFrame). The advertising formats register them with
// the content factory, the simple one first: a map frame would take any
// picture and show nothing of it.
#pragma once
#include "forms/XSpark.VCL.Content.h"
#include "forms/XSpark.VCL.Maps.h"
#include "graphics/XSpark.VCL.Images.h"

class TXMapContentFrame : public TXContentFrame {
    X_CLASS(TXMapContentFrame, TXContentFrame)
public:
    void Create(TComponent* AOwner) override;
    // A map with an area, or a picture that is not empty.
    static bool CanShow(IInterface* Content);
    // A map is loaded and scaled to the placed size; a picture shows
    // nothing of its own.
    static TControl* CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size);
    TXContainedMap* Map() const { return FMap; }

private:
    TXContainedMap* FMap = nullptr; // a child
};

class TXSimpleMapContentFrame : public TXContentFrame {
    X_CLASS(TXSimpleMapContentFrame, TXContentFrame)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    static bool CanShow(IInterface* Content);
    static TControl* CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size);
    TXSimpleMapObject* MapObject() const { return FMapObject.get(); }
    TXImage* Image() const { return FImage; }
    // A hit the item does not run itself goes to the frame's observers as
    // a TXHitAspect.
    void ImageClick();

private:
    TOwnedPtr<TXSimpleMapObject> FMapObject;
    TXImage* FImage = nullptr; // a child
};
