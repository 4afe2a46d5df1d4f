#include "vcl/tests/ControlTestSupport.h"
#include "core/XSpark.App.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XSkin.h"
#include "graphics/XSpark.VCL.Controls.h"
#include <functional>
#include <pixman.h>

using namespace ControlTests;

namespace {

// A frame that publishes whether it takes its whole bounds.
class TFullRgnFrame : public TFrame {
    X_CLASS(TFullRgnFrame, TFrame)
public:
    bool FullRgn() const { return FFull; }
    void SetFullRgn(bool Value) { FFull = Value; }

private:
    bool FFull = false;
};

// A command frame as the forms layer makes them.
class TCommandFrameProbe : public TFrame, public IXCommandFrameRegion {
    X_CLASS_TEMPLATE(TCommandFrameProbe, TFrame, u"TXRegionTestCommandFrame")
public:
    bool FullRegion() const override { return Full; }
    bool Full = false;
};

// Skin data that cuts a control to its top half.
class THalfSkinData : public TXSkinData {
    X_CLASS_TEMPLATE(THalfSkinData, TXSkinData, u"TXRegionTestHalfSkinData")
public:
    HRGN CreateRegion(TControl* Control, bool Rounded) override
    {
        const TRect R = Control->BoundsRect();
        return CreateRectRgn(R.Left, R.Top, R.Right, R.Top + R.Height() / 2);
    }
};

// A control that publishes skin data, or fails to read it.
class TSkinnedShape : public TProbeShape {
    X_CLASS(TSkinnedShape, TProbeShape)
public:
    TXSkinData* SkinData() const
    {
        if (Raise)
            throw Exception(u"The skin data is gone");
        return Data;
    }
    void SetSkinData(TXSkinData* Value) { Data = Value; }
    TXSkinData* Data = nullptr;
    bool Raise = false;
};


X_REGISTER_CLASS(TFullRgnFrame)
X_PUBLISHED(TFullRgnFrame)
{
    X_PROP(FullRgn, FullRgn, SetFullRgn);
}
X_REGISTER_CLASS(TSkinnedShape)
X_PUBLISHED(TSkinnedShape)
{
    X_PROP(SkinData, SkinData, SetSkinData);
}

TRegion Boxes(std::initializer_list<TRect> Rects)
{
    std::vector<pixman_box32_t> B;
    for (const TRect& R : Rects)
        B.push_back({ R.Left, R.Top, R.Right, R.Bottom });
    return TRegion(B);
}

// The bounds with the corners the builder gives controls.
TRegion Rounded(TRect R)
{
    HRGN Rgn = CreateRoundRectRgn(R.Left, R.Top, R.Right + 1, R.Bottom + 1, ScaleToDPI(3), ScaleToDPI(3));
    TRegion Result = *RegionOf(Rgn);
    DeleteObject(Rgn);
    return Result;
}

TRegion Union(std::initializer_list<TRegion> Parts)
{
    TRegion Result;
    for (const TRegion& P : Parts)
        Result.Unite(P);
    return Result;
}

TRegion Moved(TRegion R, Integer DX, Integer DY)
{
    R.Offset(DX, DY);
    return R;
}

class ControlsRegion : public TFormFixture {
protected:
    template<class T>
    T* Put(TWinControl* Parent, TRect R)
    {
        T* C = New<T>(Form);
        C->SetBounds(R.Left, R.Top, R.Width(), R.Height());
        C->SetParent(Parent);
        return C;
    }
    TRegion Build(TWinControl* Container, bool Alpha, bool Offset)
    {
        HRGN Rgn = BuildControlsRegion(Container, Alpha, Offset);
        TRegion Result = *RegionOf(Rgn);
        DeleteObject(Rgn);
        return Result;
    }
};

}

TEST_F(ControlsRegion, EachKindOfChildAddsItsShape)
{
    TOwnedPtr<THalfSkinData> Half(New<THalfSkinData>(nullptr));
    TOwnedPtr<TXSkinData> Plain(New<TXSkinData>(nullptr));
    const TRect Box { 5, 6, 45, 36 };
    struct TCase {
        const char* Name;
        std::function<void(TXSkinPanel* Host)> Make;
        bool Alpha;
        TRegion Expected;
    };
    const TCase Cases[] = {
        { "nothing", [](TXSkinPanel*) {}, true, TRegion() },
        { "invisible and spacers",
            [&](TXSkinPanel* H) {
                Put<TProbeShape>(H, Box)->SetVisible(false);
                Put<TXSpacer>(H, Box);
                Put<TXSpacer>(H, { 50, 6, 90, 36 })->SetWrap(true);
            },
            true, TRegion() },
        { "plain control", [&](TXSkinPanel* H) { Put<TProbeShape>(H, Box); }, false, Rounded(Box) },
        { "windowed control", [&](TXSkinPanel* H) { Put<TProbePanel>(H, Box); }, true, Rounded(Box) },
        { "rgnRect", [&](TXSkinPanel* H) { Put<TXSkinPanel>(H, Box)->SetRgnType(rgnRect); }, true, Boxes({ Box }) },
        { "rgnAlphaRect with Alpha", [&](TXSkinPanel* H) { Put<TXSkinPanel>(H, Box)->SetRgnType(rgnAlphaRect); },
            true, Rounded(Box) },
        { "rgnAlphaRect without", [&](TXSkinPanel* H) { Put<TXSkinPanel>(H, Box)->SetRgnType(rgnAlphaRect); },
            false, Boxes({ Box }) },
        { "rgnControls nests",
            [&](TXSkinPanel* H) {
                auto* Inner = Put<TXSkinPanel>(H, { 100, 50, 200, 150 });
                Put<TXSkinPanel>(Inner, { 3, 4, 13, 14 })->SetRgnType(rgnRect);
                Put<TXSkinPanel>(Inner, { 20, 20, 40, 40 })->SetVisible(false);
                auto* Deeper = Put<TXSkinPanel>(Inner, { 50, 50, 90, 90 });
                Put<TXSkinPanel>(Deeper, { 1, 2, 11, 12 })->SetRgnType(rgnRect);
            },
            true, Boxes({ { 103, 54, 113, 64 }, { 151, 102, 161, 112 } }) },
        { "empty nested panel", [&](TXSkinPanel* H) { Put<TXSkinPanel>(H, Box); }, true, TRegion() },
        { "frame with FullRgn",
            [&](TXSkinPanel* H) {
                auto* F = Put<TFullRgnFrame>(H, Box);
                F->SetFullRgn(true);
                Put<TXSkinPanel>(F, { 1, 1, 5, 5 })->SetRgnType(rgnRect);
            },
            false, Rounded(Box) },
        { "frame with FullRgn False",
            [&](TXSkinPanel* H) {
                auto* F = Put<TFullRgnFrame>(H, Box);
                Put<TXSkinPanel>(F, { 1, 1, 5, 5 })->SetRgnType(rgnRect);
            },
            false, Boxes({ { 6, 7, 10, 11 } }) },
        { "frame without FullRgn",
            [&](TXSkinPanel* H) {
                auto* F = Put<TFrame>(H, Box);
                Put<TXSkinPanel>(F, { 1, 1, 5, 5 })->SetRgnType(rgnRect);
            },
            false, Boxes({ { 6, 7, 10, 11 } }) },
        { "full command frame",
            [&](TXSkinPanel* H) {
                auto* F = Put<TCommandFrameProbe>(H, Box);
                F->Full = true;
                Put<TXSkinPanel>(F, { 1, 1, 5, 5 })->SetRgnType(rgnRect);
            },
            true, Boxes({ Box }) },
        { "command frame by its children",
            [&](TXSkinPanel* H) {
                auto* F = Put<TCommandFrameProbe>(H, Box);
                Put<TXSkinPanel>(F, { 1, 1, 5, 5 })->SetRgnType(rgnRect);
            },
            true, Boxes({ { 6, 7, 10, 11 } }) },
        { "skin data's own region",
            [&](TXSkinPanel* H) { Put<TSkinnedShape>(H, Box)->Data = Half.get(); }, true,
            Boxes({ { 5, 6, 45, 21 } }) },
        { "skin data without a region", [&](TXSkinPanel* H) { Put<TSkinnedShape>(H, Box)->Data = Plain.get(); },
            false, Rounded(Box) },
        { "no skin data", [&](TXSkinPanel* H) { Put<TSkinnedShape>(H, Box); }, false, Rounded(Box) },
        { "skin data that raises",
            [&](TXSkinPanel* H) {
                auto* S = Put<TSkinnedShape>(H, Box);
                S->Data = Half.get();
                S->Raise = true;
            },
            false, Rounded(Box) },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto* Host = Put<TXSkinPanel>(Form, { 10, 20, 310, 220 });
        C.Make(Host);
        EXPECT_TRUE(Build(Host, C.Alpha, false) == C.Expected);
        EXPECT_TRUE(Build(Host, C.Alpha, true) == Moved(C.Expected, 10, 20));
        Host->Free();
    }
}

TEST_F(ControlsRegion, ChildrenJoinAndOverlap)
{
    auto* Host = Put<TXSkinPanel>(Form, { 0, 0, 300, 200 });
    Put<TXSkinPanel>(Host, { 0, 0, 100, 20 })->SetRgnType(rgnRect);
    Put<TXSkinPanel>(Host, { 50, 10, 150, 40 })->SetRgnType(rgnRect);
    Put<TProbeShape>(Host, { 200, 100, 260, 160 });
    EXPECT_TRUE(Build(Host, true, false) ==
        Union({ Boxes({ { 0, 0, 100, 20 }, { 50, 10, 150, 40 } }), Rounded({ 200, 100, 260, 160 }) }));
    HRGN Empty = BuildControlsRegion(nullptr, true, true);
    EXPECT_TRUE(RegionOf(Empty)->IsEmpty());
    DeleteObject(Empty);
}
