// The framework's picture control: a windowless control that shows one
// stored picture in a placement, optionally resampled, framed by bevels,
// sized to the picture, and shown again when the picture object announces
// a change. TXImage only borrows the picture object (its owner must clear
// the control before the object goes); TXContainedImage keeps a copy of
// its own.
//
//     auto* Preview = New<TXContainedImage>(Form);
//     Preview->SetParent(Form);
//     Preview->SetPosition(ipBestFit);
//     Preview->SetResample(true);
//     Preview->AssignImage(Item->ImageData());   // copied
//
// A picture store that broadcasts TXImageObjectChangedAspect reaches the
// control through IXObserver:
//
//     Supports<IXObserver>(Preview)->Observe(Store, TXImageObjectChangedAspect::StaticClass());
#pragma once
#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.VCL.h"
#include "vcl/ExtCtrls.h"
#include <vector>

class TXImage : public TXGraphicControl, public IXObserver {
    X_CLASS(TXImage, TXGraphicControl)
    X_INTERFACES(TXImage, IXObserver)
    X_NOT_COUNTED
    X_DECLARE_MESSAGES(TXImage)
public:
    void Create(TComponent* AOwner) override;
    void Loaded() override;

    // The picture shown: kept as a reference (a value that is no picture
    // object shows nothing).
    virtual void SetImageObject(TXNamedPersistent* Value);
    // SetImageObject, then the size follows when AutoSize, then a repaint.
    void AssignImage(TXNamedPersistent* Value);
    void AssignImageItem(TXImageItem* Item);
    // Of pictures in several sizes, the one nearest ImageSize from above
    // (the first one when ImageSize is 0); nothing for an empty collection.
    void AssignBestImage(TXImageCollection* Collection);
    TXImageObject* ImageObject() const { return FImageObject; }

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    TXImagePosition Position() const { return FPosition; }
    void SetPosition(TXImagePosition Value);
    bool Resample() const { return FResample; }
    void SetResample(bool Value);
    // The frame round the control.
    TBevelCut BevelStyle() const { return FBevelStyle; }
    void SetBevelStyle(TBevelCut Value);
    // The frame round the picture in ipBestFit.
    TBevelCut ImageBevelStyle() const { return FImageBevelStyle; }
    void SetImageBevelStyle(TBevelCut Value);
    TColor BgColor() const { return FBgColor; }
    void SetBgColor(TColor Value);
    // The preferred picture width in pixels; 0 for none.
    Integer ImageSize() const { return FImageSize; }
    void SetImageSize(Integer Value);

    // IXObserver: only TXImageObjectChangedAspect is taken; the
    // subscription ends with the control or with the observable.
    void ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass) override;
    void Observe(IXObservable* Observable, TClass AspectClass) override;

protected:
    void Paint() override;
    // The bounds follow the picture and its frames (nothing while loading).
    virtual void AdjustSize();
    // The picture by Position into R.
    void DrawPicture(const TRect& R);

    void WMEraseBkgnd(TMessage& Message);

    TXImageObject* FImageObject = nullptr;

private:
    void ImageObjectChanged(IXNotification* Notification);

    bool FAutoSize = false;
    TXImagePosition FPosition = ipDefault;
    bool FResample = false;
    TBevelCut FBevelStyle = bvNone;
    TBevelCut FImageBevelStyle = bvNone;
    TColor FBgColor = clBtnFace;
    Integer FImageSize = 0;
    std::vector<IPtr<IXObserverKeeper>> FSubscriptions;
};

// An image control with a picture object of its own: a picture given to it
// is copied, nil clears the copy.
class TXContainedImage : public TXImage {
    X_CLASS(TXContainedImage, TXImage)
public:
    void Create(TComponent* AOwner) override;
    void SetImageObject(TXNamedPersistent* Value) override;

private:
    TOwnedPtr<TXImageObject> FOwnImage;
};
