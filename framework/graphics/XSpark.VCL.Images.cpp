#include "graphics/XSpark.VCL.Images.h"
#include "gdi/Icon.h"
#include "gdi/Region.h"
#include "graphics/XMedia.Drawing.h"
#include "vcl/Themes.h"
#include <optional>

X_REGISTER_CLASS(TXImage)
X_REGISTER_CLASS(TXContainedImage)

X_MESSAGES(TXImage)
{
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
}

namespace {

// A picture to draw: an object with bytes of a picture class.
bool HasPicture(TXImageObject* Object)
{
    return Object && Object->DataStream() && Object->DataStream()->Size() > 0 && !Object->DataClass().empty();
}

// The size of the icon entry nearest Size x Size; false for bytes that are
// no icon directory.
bool NearestIconSize(TXImageObject* Object, Integer Size, TXSize& Result)
{
    TMemoryStream* Data = Object->DataStream();
    TIconFile File;
    if (!ReadIconFile({ static_cast<const Byte*>(Data->Memory()), size_t(Data->Size()) }, File))
        return false;
    const TIconEntry& Entry = File.Entries[SelectIconEntry(File, Size, Size, 32)];
    Result = { Entry.Width, Entry.Height };
    return true;
}

// Left and top in the first colour, right and bottom in the second.
struct TBevelColors {
    TColor TopLeft;
    TColor BottomRight;
};

TBevelColors BevelColors(TBevelCut Cut, TColor Shadow, TColor Highlight)
{
    switch (Cut) {
    case bvLowered: return { Shadow, Highlight };
    case bvRaised: return { Highlight, Shadow };
    default: return { Shadow, Shadow };
    }
}

// Gives the canvas back the clip it had, whatever the drawing does.
class TClipHolder {
public:
    explicit TClipHolder(TCanvas* Canvas) : FCanvas(Canvas)
    {
        if (const TRegion* Clip = Canvas->ClipRegion())
            FSaved = *Clip;
    }
    ~TClipHolder()
    {
        if (FSaved)
            FCanvas->SetClipRegion(*FSaved);
        else
            FCanvas->ResetClip();
    }
    TClipHolder(const TClipHolder&) = delete;
    TClipHolder& operator=(const TClipHolder&) = delete;

private:
    TCanvas* FCanvas;
    std::optional<TRegion> FSaved;
};

// A system colour as the active style paints it.
TColor StyledSystemColor(TColor Color)
{
    TCustomStyleServices* Style = ::StyleServices();
    return Style && Style->Enabled() ? Style->GetSystemColor(Color) : Color;
}

TColor ShadowColor()
{
    return StyledSystemColor(clBtnShadow);
}

TColor HighlightColor()
{
    return StyledSystemColor(clBtnHighlight);
}

} // namespace

// ---- TXImage ----

void TXImage::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FBgColor = clBtnFace;
}

void TXImage::Loaded()
{
    inherited::Loaded();
    if (FAutoSize)
        AdjustSize();
}

void TXImage::SetImageObject(TXNamedPersistent* Value)
{
    FImageObject = DynamicCast<TXImageObject>(Value);
}

void TXImage::AssignImage(TXNamedPersistent* Value)
{
    SetImageObject(Value);
    if (FAutoSize)
        AdjustSize();
    Repaint();
}

void TXImage::AssignImageItem(TXImageItem* Item)
{
    AssignImage(Item ? Item->ImageData() : nullptr);
}

void TXImage::AssignBestImage(TXImageCollection* Collection)
{
    if (!Collection || Collection->Count() == 0) {
        AssignImage(nullptr);
        return;
    }
    TXImageObject* Best = Collection->Items(0)->ImageData();
    if (FImageSize > 0)
        for (Integer I = 1; I < Collection->Count(); ++I) {
            TXImageObject* Candidate = Collection->Items(I)->ImageData();
            if (Best && Candidate && Best->Width() > FImageSize && Candidate->Width() >= FImageSize)
                Best = Candidate;
        }
    AssignImage(Best);
}

void TXImage::SetAutoSize(bool Value)
{
    if (FAutoSize == Value)
        return;
    FAutoSize = Value;
    if (FAutoSize)
        AdjustSize();
}

void TXImage::SetPosition(TXImagePosition Value)
{
    FPosition = Value;
    Invalidate();
}

void TXImage::SetResample(bool Value)
{
    FResample = Value;
    Invalidate();
}

void TXImage::SetBevelStyle(TBevelCut Value)
{
    FBevelStyle = Value;
    if (FAutoSize)
        AdjustSize();
    Invalidate();
}

void TXImage::SetImageBevelStyle(TBevelCut Value)
{
    FImageBevelStyle = Value;
    if (FAutoSize)
        AdjustSize();
    Invalidate();
}

void TXImage::SetBgColor(TColor Value)
{
    FBgColor = Value;
    Invalidate();
}

void TXImage::SetImageSize(Integer Value)
{
    if (FImageSize == Value)
        return;
    FImageSize = Value;
    AdjustSize();
}

void TXImage::ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass)
{
    if (!Observable || AspectClass != TXImageObjectChangedAspect::StaticClass())
        return;
    // The keeper ends the subscription when the control goes first; the
    // observable going first detaches it.
    IPtr<IXObserverKeeper> Keeper;
    const auto Handler = TXNotificationHandler::Of<&TXImage::ImageObjectChanged>(this);
    if (Topic.empty())
        Observable->SubscribeKeeper(AspectClass, Keeper, nullptr, Handler);
    else
        Observable->SubscribeTopicKeeper(Topic, AspectClass, Keeper, nullptr, Handler);
    if (Keeper)
        FSubscriptions.push_back(std::move(Keeper));
}

void TXImage::Observe(IXObservable* Observable, TClass AspectClass)
{
    ObserveTopic(Observable, String(), AspectClass);
}

void TXImage::ImageObjectChanged(IXNotification* Notification)
{
    if (auto* Aspect = DynamicCast<TXImageObjectChangedAspect>(Notification->GetAspect()))
        AssignImage(Aspect->Value);
}

void TXImage::AdjustSize()
{
    if (ComponentState().Contains(csLoading) || !FAutoSize || !HasPicture(FImageObject))
        return;
    Integer A = 0;
    if (FBevelStyle != bvNone)
        A += 2;
    if (FImageBevelStyle != bvNone)
        A += 2;
    TXSize Icon;
    if (FImageSize > 0 && FImageObject->IsIcon() && NearestIconSize(FImageObject, FImageSize, Icon)) {
        FImageObject->SetWidth(Icon.Width);
        FImageObject->SetHeight(Icon.Height);
    }
    SetBounds(Left(), Top(), FImageObject->Width() + A, FImageObject->Height() + A);
}

void TXImage::WMEraseBkgnd(TMessage& Message)
{
    // An opaque picture covers what the background would show.
    if (HasPicture(FImageObject) && !FImageObject->IsTransparent()) {
        Message.Result = 1;
        return;
    }
    X_INHERITED_MESSAGE(Message);
}

void TXImage::Paint()
{
    inherited::Paint();
    TCanvas* C = Canvas();
    C->Brush()->SetColor(FBgColor);
    const TRect Client = ClientRect();
    if (FBevelStyle != bvNone) {
        const TBevelColors Frame = BevelColors(FBevelStyle, ShadowColor(), HighlightColor());
        DrawBevelFrame(C, Client, Frame.TopLeft, Frame.BottomRight);
    }
    if (!HasPicture(FImageObject))
        return;
    TRect R = Client;
    if (FBevelStyle != bvNone)
        R = { R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1 };
    // A covering placement draws past its rectangle; the frame stays.
    TClipHolder Clip(C);
    IntersectClipRect(C, R.Left, R.Top, R.Right, R.Bottom);
    DrawPicture(R);
}

void TXImage::DrawPicture(const TRect& R)
{
    TCanvas* C = Canvas();
    const TXFilterKernel* Kernel = FResample ? XLanczosKernel() : nullptr;
    switch (FPosition) {
    case ipDefault: DrawImageObjectAt(C, R.Left, R.Top, FImageObject); break;
    case ipBestFit:
        if (FImageBevelStyle == bvNone)
            DrawImageObjectDownScaledBestFit(C, R, FImageObject, Kernel);
        else {
            const TBevelColors Frame = BevelColors(FImageBevelStyle, ShadowColor(), HighlightColor());
            DrawImageObjectDownScaledFramed(C, R, FImageObject, Kernel, Frame.BottomRight, Frame.TopLeft);
        }
        break;
    case ipCenter: DrawImageObjectCenter(C, R, FImageObject, Kernel); break;
    default: DrawImageObjectStretch(C, R, FImageObject, Kernel); break;
    }
}

// ---- TXContainedImage ----

void TXContainedImage::Create(TComponent* AOwner)
{
    FOwnImage.reset(New<TXImageObject>());
    inherited::Create(AOwner);
    FImageObject = FOwnImage.get();
}

void TXContainedImage::SetImageObject(TXNamedPersistent* Value)
{
    if (Value == FOwnImage.get())
        return;
    if (Value)
        FOwnImage->Assign(Value);
    else
        FOwnImage->Clear();
}
