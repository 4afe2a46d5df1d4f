#include "ControlTestSupport.h"

using namespace ControlTests;

namespace {

class Hints : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Tip = Add<TProbePanel>(Form, { 10, 10, 110, 60 }, 0x3060C0);
        Tip->SetHint(u"Next picture");
        Tip->SetShowHint(true);
        Quiet = Add<TProbePanel>(Form, { 150, 10, 250, 60 }, 0x40A040);
        Form->Show();
        Pump();
        Application->CancelHint();
    }
    void TearDown() override
    {
        Application->CancelHint();
        Application->OnShowHint = nullptr;
        TFormFixture::TearDown();
    }
    bool HintShown()
    {
        THintWindow* W = Application->HintWindow();
        return W && W->HandleAllocated() && IsWindowVisible(W->Handle());
    }
    void Wait(Integer Ms)
    {
        Clock.Advance(Ms);
        Pump();
    }
    TProbePanel* Tip = nullptr;
    TProbePanel* Quiet = nullptr;
};

}

TEST_F(Hints, AHintShowsAfterThePauseAndGoesAfterItsTimeOrAPress)
{
    Move({ 20, 20 });
    Wait(Application->HintPause() - 1);
    EXPECT_FALSE(HintShown()) << "before the pause";
    Wait(1);
    ASSERT_TRUE(HintShown());
    THintWindow* W = Application->HintWindow();
    EXPECT_EQ(W->Caption(), u"Next picture");
    // Below the pointer, never active, the focus where it was.
    RECT R {};
    GetWindowRect(W->Handle(), &R);
    EXPECT_EQ(R.left, Screen({ 20, 20 }).X);
    EXPECT_GT(R.top, Screen({ 20, 20 }).Y);
    EXPECT_NE(GetActiveWindow(), W->Handle());
    EXPECT_TRUE(GetWindowLongPtr(W->Handle(), GWL_EXSTYLE) & WS_EX_NOACTIVATE);
    Wait(Application->HintHidePause());
    EXPECT_FALSE(HintShown()) << "after its time";

    struct TCase {
        const char* Name;
        std::function<void()> Ends;
    };
    const TCase Cases[] = {
        { "a press",
            [&] {
                Press({ 20, 20 }, true);
                Press({ 20, 20 }, false);
            } },
        { "a key", [&] { Key(VK_SHIFT); } },
        { "the pointer on a control without a hint",
            [&] {
                Move({ 160, 20 });
            } },
    };
    for (const TCase& C : Cases) {
        Move({ 300, 200 });
        Move({ 30, 30 });
        Wait(Application->HintPause());
        ASSERT_TRUE(HintShown()) << C.Name;
        C.Ends();
        EXPECT_FALSE(HintShown()) << C.Name;
        Wait(Application->HintPause());
        EXPECT_FALSE(HintShown()) << C.Name << ": not again until the pointer leaves";
    }
}

TEST_F(Hints, ActivateAtAPointAndTheShowHintEventDecide)
{
    struct TCase {
        const char* Name;
        TPoint At;
        bool Refuse;
        String Shown; // empty: no hint
    };
    const TCase Cases[] = {
        { "a control with a hint", { 20, 20 }, false, u"Next picture (changed)" },
        { "refused by the event", { 20, 20 }, true, u"" },
        { "a control without one", { 160, 20 }, false, u"" },
        { "the form itself", { 300, 200 }, false, u"" },
    };
    for (const TCase& C : Cases) {
        Application->OnShowHint = [&](String& Hint, bool& CanShow, THintInfo& Info) {
            EXPECT_EQ(Info.HintControl, static_cast<TControl*>(Tip));
            Hint += u" (changed)";
            CanShow = !C.Refuse;
        };
        Application->ActivateHint(Screen(C.At));
        Pump();
        EXPECT_EQ(HintShown(), !C.Shown.empty()) << C.Name;
        if (!C.Shown.empty())
            EXPECT_EQ(Application->HintWindow()->Caption(), C.Shown) << C.Name;
        Application->CancelHint();
        Pump();
        EXPECT_FALSE(HintShown()) << C.Name;
    }
    // The hint window lets the pointer through.
    Application->OnShowHint = nullptr;
    Application->ActivateHint(Screen({ 20, 20 }));
    Pump();
    THintWindow* W = Application->HintWindow();
    RECT R {};
    GetWindowRect(W->Handle(), &R);
    EXPECT_EQ(SendMessage(W->Handle(), WM_NCHITTEST, 0, MAKELPARAM(Word(R.left + 2), Word(R.top + 2))), HTTRANSPARENT);
    SavePicture(W->Handle(), "vcl-hint.png");
}

TEST_F(Hints, AControlFreedWhileItsHintWaitsIsForgotten)
{
    Move({ 20, 20 });
    FreeAndNil(Tip);
    Wait(Application->HintPause());
    EXPECT_FALSE(HintShown());
    // A new control in its place has its hint shown as any other.
    auto* Next = Add<TProbePanel>(Form, { 10, 10, 110, 60 }, 0x3060C0);
    Next->SetHint(u"Again");
    Next->SetShowHint(true);
    Move({ 300, 200 });
    Move({ 20, 20 });
    Wait(Application->HintPause());
    ASSERT_TRUE(HintShown());
    EXPECT_EQ(Application->HintWindow()->Caption(), u"Again");
}
