// Controls and a form for the control tests, on the headless presenter and
// a manual clock. Input goes in through the same router as the screen's.
#pragma once
#include "gdi/PngImage.h"
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include "win/WindowPlacement.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ControlTests {

// A windowed control that fills its client area with its colour, takes the
// focus when pressed and counts its paints.
class TProbePanel : public TCustomControl {
    X_CLASS_TEMPLATE(TProbePanel, TCustomControl, u"TProbePanel")
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        FControlStyle.Include(csAcceptsControls);
        SetTabStop(true);
    }
    Integer Paints = 0;
    // Logged on every paint: the part of the window that was painted.
    std::vector<TRect> PaintedClips;

protected:
    void Paint() override
    {
        ++Paints;
        PaintedClips.push_back(Canvas()->ClipRect());
        Canvas()->Brush()->SetColor(FColor);
        Canvas()->FillRect(ClientRect());
    }
};

// A graphic control that fills itself with its colour.
class TProbeShape : public TGraphicControl {
    X_CLASS_TEMPLATE(TProbeShape, TGraphicControl, u"TProbeShape")
protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(FColor);
        Canvas()->FillRect(ClientRect());
    }
};

class TFormFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Form = New<TForm>(nullptr);
        Form->SetBounds(100, 100, 400, 300);
        Form->SetColor(0xFFFFFF);
    }
    void TearDown() override
    {
        FreeAndNil(Form);
        Pump();
    }

    template<class T>
    T* Add(TWinControl* Parent, TRect R, TColor Color)
    {
        T* C = New<T>(Form);
        C->SetBounds(R.Left, R.Top, R.Width(), R.Height());
        C->SetColor(Color);
        C->SetParent(Parent);
        return C;
    }

    static void Pump() { Application->ProcessMessages(); }
    // Points are the form's client coordinates.
    TPoint Screen(TPoint P) { return Form->ClientToScreen(P); }
    void Press(TPoint P, bool Down, Integer Button = mbiLeft)
    {
        const TPoint S = Screen(P);
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, Button, Down));
        Pump();
    }
    void Click(TPoint P)
    {
        Press(P, true);
        Press(P, false);
    }
    void Move(TPoint P)
    {
        const TPoint S = Screen(P);
        PostInput(TInputEvent::Move({ S.X, S.Y }));
        Pump();
    }
    void Key(UINT Vk, char32_t Char = 0)
    {
        PostInput(TInputEvent::KeyEvent(Vk, true, Char));
        PostInput(TInputEvent::KeyEvent(Vk, false));
        Pump();
    }
    TColor PixelAt(TPoint P)
    {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        GetWindowBitmap(Form->Handle(), Bmp.get());
        return Bmp->Pixel(P.X, P.Y);
    }
    void SavePicture(HWND Wnd, const std::string& Name)
    {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        ASSERT_TRUE(GetWindowBitmap(Wnd, Bmp.get()));
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Bmp.get());
        Png->SaveToFile(S(Testing::TestPicturePath(Name).string()));
    }

    THeadlessPresenter Presenter;
    TManualClock Clock;
    TForm* Form = nullptr;
};

}
