// TControlCanvas draws with the picture layer's canvas on a scratch bitmap
// that holds the box round the context's clip area, in the context's
// logical coordinates (the canvas's origin): what lies under it is copied
// in when a context is bound and copied back, cut to the clip area
// exactly, when it is let go. So every drawing call of the canvas (and
// whatever the picture layer adds) works on windows without knowing about
// origins or clip areas of several rectangles, and the scratch is never
// larger than what the window shows, however far its content reaches.
#include "vcl/Controls.h"
#include "vcl/ControlsDetail.h"
#include "win/Painting.h"
#include "win/Rects.h"
#include <algorithm>
#include <cstring>

X_REGISTER_CLASS(TControlCanvas)

namespace {

// Canvases that took a context of their own, given back after each message.
std::vector<TControlCanvas*>& OwnContexts()
{
    static std::vector<TControlCanvas*> List;
    return List;
}

void CopyToBitmap(const TPixelBuffer& From, const RECT& Source, TBitmap& To, LONG X, LONG Y)
{
    for (LONG Row = 0; Row < RectHeight(Source); ++Row)
        std::memcpy(To.ScanLine(Y + Row) + size_t(X) * 4, From.ScanLine(Source.top + Row) + size_t(Source.left) * 4,
            size_t(RectWidth(Source)) * 4);
}

void CopyFromBitmap(const TBitmap& From, const RECT& Source, TPixelBuffer& To, LONG X, LONG Y)
{
    for (LONG Row = 0; Row < RectHeight(Source); ++Row)
        std::memcpy(To.ScanLine(Y + Row) + size_t(X) * 4, From.ScanLine(Source.top + Row) + size_t(Source.left) * 4,
            size_t(RectWidth(Source)) * 4);
}

}

void TControlCanvas::Create()
{
    FScratch = MakeOwned<TBitmap>();
    FScratch->SetPixelFormat(pf32bit);
    inherited::Create(FScratch.get());
}

TControlCanvas::~TControlCanvas()
{
    FreeHandle();
}

void TControlCanvas::SetControl(TControl* Value)
{
    if (FControl == Value)
        return;
    FreeHandle();
    FControl = Value;
}

HDC TControlCanvas::Handle()
{
    if (FHandle || !FControl)
        return FHandle;
    HDC Dc = nullptr;
    HWND Wnd = nullptr;
    if (auto* Win = DynamicCast<TWinControl>(FControl)) {
        Wnd = Win->Handle();
        Dc = GetDC(Wnd);
    } else if (TWinControl* Parent = FControl->Parent()) {
        Wnd = Parent->Handle();
        Dc = GetDC(Wnd);
        SetWindowOrgEx(Dc, -FControl->Left(), -FControl->Top(), nullptr);
        IntersectClipRect(Dc, 0, 0, FControl->Width(), FControl->Height());
    }
    if (!Dc)
        return nullptr;
    Bind(Dc);
    FOwnDC = true;
    OwnContexts().push_back(this);
    return FHandle;
}

void TControlCanvas::SetHandle(HDC Value)
{
    if (Value == FHandle)
        return;
    FreeHandle();
    if (Value)
        Bind(Value);
}

void TControlCanvas::FreeHandle()
{
    Unbind();
}

void TControlCanvas::Bind(HDC Dc)
{
    TDCSurface S;
    if (!GetDCSurface(Dc, S))
        return;
    FHandle = Dc;
    FOwnDC = false;
    // The logical area the clip covers.
    RECT Box {};
    for (const RECT& R : S.Clip)
        UnionRect(&Box, &Box, &R);
    Box = RectOffset(Box, -S.Offset.x, -S.Offset.y);
    if (RectEmpty(Box)) {
        FBox = {};
        SetClipRect({});
        return;
    }
    FBox = Box;
    if (FScratch->Width() < RectWidth(Box) || FScratch->Height() < RectHeight(Box))
        FScratch->SetSize(std::max<Integer>(FScratch->Width(), RectWidth(Box)),
            std::max<Integer>(FScratch->Height(), RectHeight(Box)));
    SetOrigin({ Box.left, Box.top });
    CopyToBitmap(*S.Bitmap, RectOffset(Box, S.Offset.x, S.Offset.y), *FScratch, 0, 0);
    SetClipRect({ Box.left, Box.top, Box.right, Box.bottom });
}

void TControlCanvas::Unbind()
{
    if (!FHandle)
        return;
    TDCSurface S;
    if (GetDCSurface(FHandle, S) && !RectEmpty(FBox))
        for (const RECT& Clip : S.Clip) {
            const RECT Part = RectIntersection(RectOffset(Clip, -S.Offset.x, -S.Offset.y), FBox);
            if (!RectEmpty(Part))
                CopyFromBitmap(*FScratch, RectOffset(Part, -FBox.left, -FBox.top), *S.Bitmap, Part.left + S.Offset.x,
                    Part.top + S.Offset.y);
        }
    const HDC Dc = FHandle;
    FHandle = nullptr;
    FBox = {};
    // What the control drew lives in its top-level window's store: between
    // paints a control keeps no pixels, so thousands of controls cost
    // nothing for what they once showed.
    FScratch->SetSize(0, 0);
    ResetClip();
    SetOrigin({});
    if (FOwnDC) {
        FOwnDC = false;
        std::erase(OwnContexts(), this);
        ReleaseDC(WindowFromDC(Dc), Dc);
    }
}

void FreeDeviceContexts()
{
    while (!OwnContexts().empty())
        OwnContexts().back()->FreeHandle();
}

void FillDCRect(HDC Dc, const TRect& R, TColor Color)
{
    TDCSurface S;
    if (!GetDCSurface(Dc, S))
        return;
    const Cardinal Pixel = Cardinal(ColorToRGB(Color));
    // TColor is red in the low byte; the bitmap holds blue first.
    const Cardinal Bgr = ((Pixel & 0xFF) << 16) | (Pixel & 0xFF00) | ((Pixel >> 16) & 0xFF);
    const RECT Logical = RectOffset({ R.Left, R.Top, R.Right, R.Bottom }, S.Offset.x, S.Offset.y);
    for (const RECT& Clip : S.Clip) {
        const RECT Part = RectIntersection(Logical, Clip);
        for (LONG Y = Part.top; Y < Part.bottom; ++Y) {
            auto* Row = reinterpret_cast<Cardinal*>(S.Bitmap->ScanLine(Y));
            std::fill(Row + Part.left, Row + Part.right, Bgr);
        }
    }
}

bool GetWindowBitmap(HWND Wnd, TBitmap* Bitmap)
{
    TPixelBuffer Picture;
    if (!Bitmap || !GetWindowPicture(Wnd, Picture))
        return false;
    Bitmap->SetPixelFormat(pf32bit);
    Bitmap->SetSize(Picture.Width(), Picture.Height());
    for (Integer Y = 0; Y < Picture.Height(); ++Y)
        std::memcpy(Bitmap->ScanLine(Y), Picture.ScanLine(Y), size_t(Picture.Width()) * 4);
    Bitmap->SetPixelFormat(pf24bit);
    return true;
}
