// Image lists: pictures of one size that controls draw by index.
//
// The shared lists stand for the system's icon lists: their pictures
// belong to the system, so freeing a shared list frees no picture.
#pragma once
#include "rtl/Component.h"

enum TColorDepth { cdDefault, cdDeviceDependent, cd4Bit, cd8Bit, cd16Bit, cd24Bit, cd32Bit };
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };

class TCustomImageList : public TComponent {
    X_CLASS(TCustomImageList, TComponent)
public:
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }
    bool ShareImages() const { return FShareImages; }
    void SetShareImages(bool Value) { FShareImages = Value; }
    TColorDepth ColorDepth() const { return FColorDepth; }
    void SetColorDepth(TColorDepth Value) { FColorDepth = Value; }
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle Value) { FDrawingStyle = Value; }
    // No pictures are held yet.
    Integer Count() const { return 0; }

private:
    Integer FWidth = 16;
    Integer FHeight = 16;
    bool FShareImages = false;
    TColorDepth FColorDepth = cdDeviceDependent;
    TDrawingStyle FDrawingStyle = dsNormal;
};

class TImageList : public TCustomImageList {
    X_CLASS(TImageList, TCustomImageList)
};
