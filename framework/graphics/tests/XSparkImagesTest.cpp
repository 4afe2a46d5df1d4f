#include "vcl/tests/ControlTestSupport.h"
#include "GradientJpeg.h"
#include "ScopedDpi.h"
#include "core/XCore.Engine.Observers.h"
#include "gdi/Icon.h"
#include "gdi/JpegImage.h"
#include "graphics/XImageCtrls.h"
#include "graphics/XSpark.Skin.Data.Win.h"
#include "graphics/XSpark.VCL.Images.h"
#include "win/Metrics.h"

using namespace ControlTests;

namespace {

constexpr TColor PictureColor = 0x2040E0;

TOwnedPtr<TBitmap> Solid(Integer W, Integer H, TColor Color)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(W, H);
    Bmp->Canvas()->Brush()->SetColor(Color);
    Bmp->Canvas()->FillRect({ 0, 0, W, H });
    return Bmp;
}

enum TPictureKind { pkBitmap, pkPng, pkJpeg, pkIcon };

// A stored W x H picture of one colour in the class of Kind (an icon is
// the program icon, its entries 16, 32 and 48).
TOwnedPtr<TXImageObject> StoredPicture(TPictureKind Kind, Integer W = 40, Integer H = 20)
{
    TOwnedPtr<TXImageObject> Object(New<TXImageObject>());
    TOwnedPtr<TBitmap> Bmp = Solid(W, H, PictureColor);
    switch (Kind) {
    case pkBitmap: EXPECT_TRUE(Object->LoadFromObject(Bmp.get())); break;
    case pkPng: {
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Bmp.get());
        EXPECT_TRUE(Object->LoadFromObject(Png.get()));
        break;
    }
    case pkJpeg: {
        TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
        Jpeg->Assign(Bmp.get());
        EXPECT_TRUE(Object->LoadFromObject(Jpeg.get()));
        break;
    }
    case pkIcon: {
        const std::span<const Byte> Icon = ProgramIconData();
        TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
        S->WriteBuffer(Icon.data(), Int64(Icon.size()));
        EXPECT_TRUE(Object->LoadFromStream(u"TIcon", S.get()));
        break;
    }
    }
    return Object;
}

// The box of pixels of the picture's colour inside R, in R's coordinates.
TRect PictureBox(TBitmap* Bmp, const TRect& R)
{
    TRect Box { INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN };
    for (Integer Y = R.Top; Y < R.Bottom; ++Y)
        for (Integer X = R.Left; X < R.Right; ++X)
            if ((Bmp->Pixel(X, Y) & 0xFFFFFF) == PictureColor) {
                Box.Left = std::min(Box.Left, X - R.Left);
                Box.Top = std::min(Box.Top, Y - R.Top);
                Box.Right = std::max(Box.Right, X - R.Left + 1);
                Box.Bottom = std::max(Box.Bottom, Y - R.Top + 1);
            }
    return Box.Left == INT32_MAX ? TRect {} : Box;
}

class PictureControls : public TFormFixture {
protected:
    template<class T = TXImage>
    T* AddImage(TRect R)
    {
        auto* Image = New<T>(Form);
        Image->SetParent(Form);
        Image->SetBounds(R.Left, R.Top, R.Width(), R.Height());
        return Image;
    }
    TOwnedPtr<TBitmap> FormPicture()
    {
        Form->Show();
        Pump();
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        EXPECT_TRUE(GetWindowBitmap(Form->Handle(), Bmp.get()));
        return Bmp;
    }
};

// Sends Aspect carrying Object through Observable.
void AnnounceChange(IXObservable* Observable, TXImageObject* Object, const String& Topic = {})
{
    auto* Aspect = New<TXImageObjectChangedAspect>(Object);
    Observable->Broadcast(NewNotification(Aspect, nullptr, Topic).Get());
}

} // namespace

TEST_F(PictureControls, BestImageOfACollectionBySize)
{
    TOwnedPtr<TXImageCollection> Sizes(New<TXImageCollection>(TXImageItem::StaticClass()));
    for (Integer W : { 64, 48, 32, 16 }) {
        TOwnedPtr<TXImageObject> P = StoredPicture(pkPng, W, W);
        Sizes->Add()->ImageData()->Assign(P.get());
    }
    TOwnedPtr<TXImageCollection> Empty(New<TXImageCollection>(TXImageItem::StaticClass()));
    struct TCase {
        Integer ImageSize;
        TXImageCollection* Collection;
        Integer Shown; // the width of the picture shown; 0 for none
    } const Cases[] = {
        { 0, Sizes.get(), 64 }, // no preference: the first
        { 32, Sizes.get(), 32 },
        { 40, Sizes.get(), 48 }, // the smallest at least as wide
        { 16, Sizes.get(), 16 },
        { 100, Sizes.get(), 64 }, // none wide enough: the first stays
        { 32, Empty.get(), 0 },
        { 32, nullptr, 0 },
    };
    auto* Image = AddImage({ 10, 10, 100, 100 });
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.ImageSize << " " << C.Shown);
        Image->AssignImage(Sizes->Items(1)->ImageData());
        Image->SetImageSize(C.ImageSize);
        Image->AssignBestImage(C.Collection);
        EXPECT_EQ(Image->ImageObject() ? Image->ImageObject()->Width() : 0, C.Shown);
    }
}

TEST_F(PictureControls, OnlyAnOpaquePictureKeepsTheBackgroundFromBeingErased)
{
    auto* Image = AddImage({ 10, 10, 50, 50 });
    EXPECT_EQ(Image->Perform(WM_ERASEBKGND), 0); // no picture
    struct TCase {
        TPictureKind Kind;
        LRESULT Result;
    } const Cases[] = { { pkPng, 0 }, { pkIcon, 0 }, { pkJpeg, 1 }, { pkBitmap, 1 } };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(int(C.Kind));
        TOwnedPtr<TXImageObject> P = StoredPicture(C.Kind);
        Image->AssignImage(P.get());
        EXPECT_EQ(Image->Perform(WM_ERASEBKGND), C.Result);
        Image->AssignImage(nullptr);
    }
}

TEST_F(PictureControls, AutoSizeFollowsThePictureTheFramesAndTheIconSize)
{
    struct TCase {
        TPictureKind Kind;
        TBevelCut Bevel, ImageBevel;
        Integer ImageSize;
        TSize Expected;
    } const Cases[] = {
        { pkBitmap, bvNone, bvNone, 0, { 40, 20 } },
        { pkBitmap, bvLowered, bvNone, 0, { 42, 22 } },
        { pkBitmap, bvNone, bvRaised, 0, { 42, 22 } },
        { pkBitmap, bvSpace, bvLowered, 0, { 44, 24 } }, // both frames: 4 pixels more
        { pkBitmap, bvNone, bvNone, 16, { 40, 20 } }, // ImageSize picks only among icon entries
        { pkIcon, bvNone, bvNone, 0, { 32, 32 } }, // the stored size: the system icon's
        { pkIcon, bvNone, bvNone, 16, { 16, 16 } },
        { pkIcon, bvLowered, bvNone, 48, { 50, 50 } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << int(C.Kind) << " " << C.ImageSize);
        auto* Image = AddImage({ 7, 9, 100, 100 });
        TOwnedPtr<TXImageObject> P = StoredPicture(C.Kind);
        Image->SetBevelStyle(C.Bevel);
        Image->SetImageBevelStyle(C.ImageBevel);
        Image->SetImageSize(C.ImageSize);
        Image->SetAutoSize(true);
        Image->AssignImage(P.get());
        EXPECT_EQ(Image->BoundsRect(), Rect(7, 9, 7 + C.Expected.cx, 9 + C.Expected.cy));
        Image->AssignImage(nullptr);
        Image->Free();
    }
}

TEST_F(PictureControls, AutoSizeWaitsForTheEndOfLoadingAndFollowsFrameChanges)
{
    auto* Image = AddImage({ 0, 0, 100, 100 });
    TOwnedPtr<TXImageObject> P = StoredPicture(pkBitmap);
    Image->SetComponentStateItem(csLoading, true);
    Image->SetAutoSize(true);
    Image->AssignImage(P.get());
    EXPECT_EQ(Image->Width(), 100);
    Image->SetComponentStateItem(csLoading, false);
    Image->Loaded();
    EXPECT_EQ(Image->Width(), 40);
    Image->SetBevelStyle(bvRaised);
    EXPECT_EQ(Image->Width(), 42);
    // Without a picture the size stays.
    Image->AssignImage(nullptr);
    Image->SetImageBevelStyle(bvRaised);
    EXPECT_EQ(Image->Width(), 42);
    Image->SetAutoSize(false);
    Image->AssignImage(P.get());
    EXPECT_EQ(Image->Width(), 42);
}

TEST_F(PictureControls, PlacementsBevelsAndBackground)
{
    const TColor Shadow = ColorToRGB(clBtnShadow), Highlight = ColorToRGB(clBtnHighlight);
    struct TCase {
        TXImagePosition Position;
        TBevelCut Bevel, ImageBevel;
        bool Resample;
        TRect Box; // the picture in the control
    } const Cases[] = {
        { ipDefault, bvNone, bvNone, false, { 0, 0, 40, 20 } },
        { ipDefault, bvLowered, bvNone, false, { 1, 1, 41, 21 } },
        { ipBestFit, bvNone, bvNone, false, { 30, 20, 70, 40 } }, // never enlarged
        { ipBestFit, bvNone, bvLowered, true, { 30, 20, 70, 40 } },
        { ipBestFit, bvRaised, bvRaised, false, { 30, 20, 70, 40 } },
        { ipCenter, bvNone, bvNone, false, { 0, 0, 100, 60 } }, // covers, cut at the control
        { ipCenter, bvSpace, bvNone, true, { 1, 1, 99, 59 } },
        { ipStretch, bvNone, bvNone, true, { 0, 0, 100, 60 } },
        { ipTile, bvLowered, bvNone, false, { 1, 1, 99, 59 } }, // the other placements stretch
    };
    const TRect At { 20, 30, 120, 90 };
    auto* Image = AddImage(At);
    Image->SetBgColor(clBlue);
    TOwnedPtr<TXImageObject> P = StoredPicture(pkBitmap);
    Image->AssignImage(P.get());
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << int(C.Position) << " " << int(C.Bevel) << " " << int(C.ImageBevel));
        Image->SetPosition(C.Position);
        Image->SetBevelStyle(C.Bevel);
        Image->SetImageBevelStyle(C.ImageBevel);
        Image->SetResample(C.Resample);
        TOwnedPtr<TBitmap> Bmp = FormPicture();
        EXPECT_EQ(PictureBox(Bmp.get(), At), C.Box);
        const TColor TopLeft = Bmp->Pixel(At.Left, At.Top) & 0xFFFFFF;
        const TColor BottomRight = Bmp->Pixel(At.Right - 1, At.Bottom - 1) & 0xFFFFFF;
        if (C.Bevel != bvNone) {
            EXPECT_EQ(TopLeft, C.Bevel == bvRaised ? Highlight : Shadow);
            EXPECT_EQ(BottomRight, C.Bevel == bvLowered ? Highlight : Shadow);
        }
        if (C.Position == ipBestFit) {
            // The background colour round the picture; the picture's own
            // frame one pixel outside it.
            EXPECT_EQ(Bmp->Pixel(At.Left + 10, At.Top + 10) & 0xFFFFFF, ColorToRGB(clBlue));
            const TColor Frame = Bmp->Pixel(At.Left + C.Box.Left - 1, At.Top + C.Box.Top - 1) & 0xFFFFFF;
            if (C.ImageBevel == bvLowered)
                EXPECT_EQ(Frame, Shadow);
            else if (C.ImageBevel == bvRaised)
                EXPECT_EQ(Frame, Highlight);
            else
                EXPECT_EQ(Frame, ColorToRGB(clBlue));
        }
    }
    Image->AssignImage(nullptr);
}

TEST_F(PictureControls, AContainedImageKeepsItsOwnCopy)
{
    const TRect At { 10, 10, 70, 50 };
    auto* Image = AddImage<TXContainedImage>(At);
    Image->SetBevelStyle(bvLowered);
    Image->SetBgColor(clBlue);
    Image->SetPosition(ipStretch);
    {
        TOwnedPtr<TXImageObject> P = StoredPicture(pkPng);
        Image->AssignImage(P.get());
        EXPECT_NE(Image->ImageObject(), P.get());
    } // the given picture goes; the copy stays
    ASSERT_NE(Image->ImageObject(), nullptr);
    EXPECT_EQ(Image->ImageObject()->DataClass(), u"TPngImage");
    EXPECT_EQ(PictureBox(FormPicture().get(), At), Rect(1, 1, 59, 39));
    // Nil clears the copy: only the frame is painted.
    Image->AssignImage(nullptr);
    EXPECT_TRUE(Image->ImageObject()->IsEmpty());
    TOwnedPtr<TBitmap> Bmp = FormPicture();
    EXPECT_TRUE(PictureBox(Bmp.get(), At).IsEmpty());
    EXPECT_EQ(Bmp->Pixel(At.Left, At.Top) & 0xFFFFFF, ColorToRGB(clBtnShadow));
    EXPECT_EQ(Bmp->Pixel(At.Left + 20, At.Top + 20) & 0xFFFFFF, ColorToRGB(clWhite)); // the form shows through
    EXPECT_EQ(Image->Perform(WM_ERASEBKGND), 0);
}

TEST_F(PictureControls, APictureChangeAnnouncedShowsTheNewPicture)
{
    TOwnedPtr<TXObservable> Store(New<TXObservable>());
    auto* Image = AddImage({ 0, 0, 100, 100 });
    IPtr<IXObserver> Observer = Supports<IXObserver>(Image);
    ASSERT_TRUE(Observer);
    TOwnedPtr<TXImageObject> First = StoredPicture(pkBitmap), Second = StoredPicture(pkPng);
    // Another aspect class is no subscription.
    Observer->Observe(Store.get(), TXSizeChangedAspect::StaticClass());
    AnnounceChange(Store.get(), First.get());
    EXPECT_EQ(Image->ImageObject(), nullptr);
    Observer->ObserveTopic(Store.get(), u"preview", TXImageObjectChangedAspect::StaticClass());
    AnnounceChange(Store.get(), First.get(), u"preview");
    EXPECT_EQ(Image->ImageObject(), First.get());
    Observer.Reset();
    // The control goes first: the store tells nobody.
    Image->Free();
    AnnounceChange(Store.get(), Second.get(), u"preview");

    // The store goes first: the control lives on.
    auto* Later = AddImage({ 0, 0, 100, 100 });
    TOwnedPtr<TXObservable> Short(New<TXObservable>());
    Supports<IXObserver>(Later)->Observe(Short.get(), TXImageObjectChangedAspect::StaticClass());
    AnnounceChange(Short.get(), Second.get());
    EXPECT_EQ(Later->ImageObject(), Second.get());
    Short.reset();
    Later->AssignImage(nullptr);
    Later->Free();
}

TEST_F(PictureControls, GalleryOfPlacementsAndFramesAt96And144Dpi)
{
    // A photo-like picture: colour ramps with a dark disc off the centre.
    TOwnedPtr<TBitmap> Photo(MakeOwned<TBitmap>());
    Photo->SetSize(120, 80);
    for (Integer Y = 0; Y < 80; ++Y)
        for (Integer X = 0; X < 120; ++X) {
            const bool Disc = (X - 80) * (X - 80) + (Y - 30) * (Y - 30) < 400;
            Byte* P = Photo->ScanLine(Y) + 3 * X;
            P[0] = Disc ? 0x10 : Byte(200 - X);
            P[1] = Disc ? 0x20 : Byte(80 + Y);
            P[2] = Disc ? 0x30 : Byte(X * 2);
        }
    TOwnedPtr<TXImageObject> Picture(New<TXImageObject>());
    ASSERT_TRUE(Picture->LoadFromObject(Photo.get()));
    TOwnedPtr<TXImageObject> Icon = StoredPicture(pkIcon);
    struct TCell {
        TXImagePosition Position;
        TBevelCut Bevel, ImageBevel;
        bool UsesIcon;
    } const Cells[] = {
        { ipDefault, bvLowered, bvNone, false },
        { ipBestFit, bvRaised, bvLowered, false },
        { ipCenter, bvSpace, bvNone, false },
        { ipStretch, bvLowered, bvNone, false },
        { ipBestFit, bvNone, bvNone, false },
        { ipDefault, bvRaised, bvNone, true },
    };
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scaled(Dpi);
        ::Screen->SetPixelsPerInch(Dpi);
        Form->SetBounds(100, 100, MulDiv(440, Dpi, 96), MulDiv(200, Dpi, 96));
        Form->SetColor(clBtnFace);
        std::vector<TXImage*> Shown;
        Integer I = 0;
        for (const TCell& Cell : Cells) {
            auto* Image = AddImage({ 10 + (I % 3) * 140, 10 + (I / 3) * 95, 10 + (I % 3) * 140 + 130,
                10 + (I / 3) * 95 + 85 });
            Image->ScaleToScreen();
            Image->SetBgColor(clWhite);
            Image->SetPosition(Cell.Position);
            Image->SetBevelStyle(Cell.Bevel);
            Image->SetImageBevelStyle(Cell.ImageBevel);
            Image->SetResample(true);
            Image->AssignImage(Cell.UsesIcon ? Icon.get() : Picture.get());
            Shown.push_back(Image);
            ++I;
        }
        TOwnedPtr<TBitmap> Bmp = FormPicture();
        SavePicture(Form->Handle(), "image-placements-" + std::to_string(Dpi) + ".png");
        // The best fit is centred in its frame: the background round it.
        const TRect Cell = Shown[1]->BoundsRect();
        EXPECT_EQ(Bmp->Pixel(Cell.Left + 2, Cell.Top + 2) & 0xFFFFFF, ColorToRGB(clWhite));
        EXPECT_NE(Bmp->Pixel(Cell.Left + Cell.Width() / 2, Cell.Top + Cell.Height() / 2) & 0xFFFFFF,
            ColorToRGB(clWhite));
        for (TXImage* Image : Shown) {
            Image->AssignImage(nullptr);
            Image->Free();
        }
    }
    ::Screen->SetPixelsPerInch(96);
}

TEST_F(PictureControls, TheImageListViewShowsEachPictureAsAnIconAndAnEmptyOneForWhatDoesNotDraw)
{
    TOwnedPtr<TXImageCollection> Pictures(New<TXImageCollection>(TXImageItem::StaticClass()));
    for (TPictureKind Kind : { pkPng, pkJpeg, pkIcon, pkBitmap }) {
        TOwnedPtr<TXImageObject> P = StoredPicture(Kind, 40, 20);
        Pictures->Add()->ImageData()->Assign(P.get());
    }
    Pictures->Add(); // no picture at all
    const TColor Ground = ColorToRGB(clWindow);
    auto* View = New<TXImageListView>(Form);
    View->SetParent(Form);
    View->SetBounds(10, 10, 300, 200);
    View->ImageBorder()->SetLeft(3);
    View->ImageBorder()->SetRight(5);
    View->ImageBorder()->SetTop(2);
    View->ImageBorder()->SetBottom(4);
    // Filling twice leaves one item per picture.
    View->SetImages(Pictures.get());
    View->SetImages(Pictures.get());
    ASSERT_EQ(View->Items()->Count(), Pictures->Count());
    EXPECT_EQ(View->Images()->Count(), Pictures->Count());
    EXPECT_EQ(View->ViewStyle(), vsIcon);
    EXPECT_EQ(View->LargeImages(), View->Images());
    EXPECT_EQ(View->IconSpacing().cx, 32 + 3 + 5);
    EXPECT_EQ(View->IconSpacing().cy, 32 + 2 + 4);
    struct TCase {
        const char* Name;
        bool Picture; // the picture's colour at the icon's centre, else the empty ground
    } const Cases[] = {
        { "PNG", true }, { "JPEG", true }, { "icon", false }, { "bitmap", true }, { "nothing", false },
    };
    for (Integer I = 0; I < Pictures->Count(); ++I) {
        const TCase& C = Cases[I];
        TListItem* Item = View->Items()->Item(I);
        EXPECT_EQ(Item->Data(), Pictures->Items(I)) << C.Name;
        EXPECT_EQ(Item->ImageIndex(), I) << C.Name;
        TOwnedPtr<TBitmap> Icon(MakeOwned<TBitmap>());
        ASSERT_TRUE(View->Images()->GetBitmap(I, Icon.get())) << C.Name;
        EXPECT_EQ(Icon->Width(), 32) << C.Name;
        const TColor Centre = Icon->Pixel(16, 16) & 0xFFFFFF;
        if (C.Picture) {
            // Best fit: 32 x 16 across the middle, nothing above it.
            for (Integer Shift : { 0, 8, 16 })
                EXPECT_LE(std::abs(Integer((Centre >> Shift) & 0xFF) - Integer((PictureColor >> Shift) & 0xFF)), 8)
                    << C.Name;
            EXPECT_EQ(Icon->Pixel(16, 2) & 0xFFFFFF, Ground) << C.Name << ": best fit, the ground above";
        }
    }
    // The program icon gives its own 32-pixel entry, not a thumbnail of
    // another; the empty icon is the list's ground.
    TOwnedPtr<TBitmap> IconEntry(MakeOwned<TBitmap>());
    View->Images()->GetBitmap(2, IconEntry.get());
    EXPECT_NE(IconEntry->Pixel(16, 16) & 0xFFFFFF, Ground);
    EXPECT_EQ(IconEntry->Pixel(0, 0) & 0xFFFFFF, Ground) << "the icon's own see-through corner";
    TOwnedPtr<TBitmap> Empty(MakeOwned<TBitmap>());
    View->Images()->GetBitmap(4, Empty.get());
    EXPECT_EQ(Empty->Pixel(16, 16) & 0xFFFFFF, Ground);
    // A new size fills the view again; no collection empties it.
    View->SetImageSize(48, 48);
    EXPECT_EQ(View->Images()->Width(), 48);
    EXPECT_EQ(View->IconSpacing().cx, 48 + 8);
    EXPECT_EQ(View->Items()->Count(), Pictures->Count());
    View->SetImages(nullptr);
    EXPECT_EQ(View->Items()->Count(), 0);
    EXPECT_EQ(View->Images()->Count(), 0);
}

TEST_F(PictureControls, GalleryOfTheImageListViewAt96And144Dpi)
{
    TOwnedPtr<TXImageCollection> Pictures(New<TXImageCollection>(TXImageItem::StaticClass()));
    for (Byte Tint : { 0, 120, 240 })
        ASSERT_TRUE(PixelTest::LoadGradientJpeg(Pictures->Add()->ImageData(), 640, 480, Tint));
    for (TPictureKind Kind : { pkPng, pkIcon }) {
        TOwnedPtr<TXImageObject> P = StoredPicture(Kind, 60, 30);
        Pictures->Add()->ImageData()->Assign(P.get());
    }
    Pictures->Add();
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scaled(Dpi);
        auto Px = [Dpi](Integer N) { return MulDiv(N, Dpi, 96); };
        TOwnedPtr<TForm> Host(MakeOwned<TForm>(nullptr));
        Host->SetBounds(100, 100, Px(300), Px(130));
        Host->SetColor(clBtnFace);
        auto* View = New<TXImageListView>(Host.get());
        View->SetParent(Host.get());
        View->SetBounds(Px(8), Px(8), Px(280), Px(110));
        for (Integer Side = 0; Side < 4; ++Side)
            View->ImageBorder()->SetWidth(Side, Word(Px(6)));
        View->SetImageSize(Px(32), Px(32));
        View->SetImages(Pictures.get());
        View->SetItemIndex(1);
        Host->Show();
        View->SetFocus();
        Pump();
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        ASSERT_TRUE(GetWindowBitmap(Host->Handle(), Bmp.get()));
        SavePicture(Host->Handle(), "image-list-view-" + std::to_string(Dpi) + ".png");
        // A picture's icon shows where its cell is: its colours, not the ground.
        const TPoint Origin { View->Left(), View->Top() };
        EXPECT_NE(Bmp->Pixel(Origin.X + Px(2) + Px(6) + Px(16), Origin.Y + Px(2) + Px(6) + Px(16)) & 0xFFFFFF,
            ColorToRGB(clWindow));
        View->SetImages(nullptr);
    }
}
