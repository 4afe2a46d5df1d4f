// Image lists: pictures of one size that controls draw by index, held as
// 32-bit pictures whose fourth byte is their opacity.
//
//     auto* Icons = New<TImageList>(Form);
//     Icons->SetSize(16, 16);
//     Icons->Add(Bitmap, nullptr);            // index 0
//     Icons->Draw(Canvas, 4, 4, 0);
//
// A picture added without opacity (every fourth byte 0, as 24-bit pictures
// give) is opaque; a mask makes its white pixels clear. Pictures of another
// size are cut or filled to the list's size at the top left.
//
// The shared lists stand for the system's icon lists: their pictures
// belong to the system, so freeing a shared list frees no picture.
#pragma once
#include "gdi/Bitmap.h"
#include "rtl/Component.h"
#include <functional>
#include <vector>

class TCanvas;

enum TColorDepth { cdDefault, cdDeviceDependent, cd4Bit, cd8Bit, cd16Bit, cd24Bit, cd32Bit };
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };

class TCustomImageList : public TComponent {
    X_CLASS(TCustomImageList, TComponent)
public:
    void BeforeDestruction() override;

    Integer Width() const { return FWidth; }
    // A new size empties the list.
    void SetWidth(Integer Value) { SetSize(Value, FHeight); }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { SetSize(FWidth, Value); }
    void SetSize(Integer AWidth, Integer AHeight);
    bool ShareImages() const { return FShareImages; }
    void SetShareImages(bool Value) { FShareImages = Value; }
    TColorDepth ColorDepth() const { return FColorDepth; }
    void SetColorDepth(TColorDepth Value) { FColorDepth = Value; }
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle Value) { FDrawingStyle = Value; }

    Integer Count() const { return Integer(FImages.size()); }
    // Answers the new picture's index.
    Integer Add(TBitmap* Image, TBitmap* Mask);
    // Raises EInvalidOperation for an index out of range.
    void Replace(Integer Index, TBitmap* Image, TBitmap* Mask);
    void Delete(Integer Index);
    void Clear();
    // Copies picture Index (32-bit, opacity in the fourth byte) into Image.
    bool GetBitmap(Integer Index, TBitmap* Image);
    // Blends picture Index over the canvas's bitmap at (X, Y), inside the
    // canvas's clip rectangle; a disabled picture is drawn greyed and at
    // half opacity. An index out of range draws nothing.
    void Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled = true);

    // Told when pictures are added, replaced or taken away.
    std::function<void(TObject* Sender)> OnChange;

private:
    TOwnedPtr<TBitmap> Prepare(TBitmap* Image, TBitmap* Mask);
    void Changed();

    Integer FWidth = 16;
    Integer FHeight = 16;
    bool FShareImages = false;
    TColorDepth FColorDepth = cdDeviceDependent;
    TDrawingStyle FDrawingStyle = dsNormal;
    std::vector<TOwnedPtr<TBitmap>> FImages;
};

class TImageList : public TCustomImageList {
    X_CLASS(TImageList, TCustomImageList)
};
