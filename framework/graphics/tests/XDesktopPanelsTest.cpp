#include "core/XPlatform.Utils.h"
#include "graphics/XExtCtrls.h"
#include "rtl/StrUtils.h"
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/Presenter.h"
#include "win/ShellExecute.h"
#include "win/Time.h"
#include "win/WindowTree.h"
#include <gtest/gtest.h>
#include <cstdlib>

using namespace Testing;

namespace {

// The receiver of the panels' commands, as a gear or a form has one.
class TCommandLog : public TComponent {
    X_CLASS(TCommandLog, TComponent)
public:
    void Cmd(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args)
    {
        Log.push_back(std::to_string(Monitor) + " " + std::to_string(int(Hit)) + " " + StringToUTF8(HitName) + " " +
            StringToUTF8(Command) + " " + StringToUTF8(Args));
        if (Then)
            Then();
    }
    TXCommandEvent Event()
    {
        TXCommandEvent E;
        E.SetMethod({ MethodAddress(StaticClass(), u"Cmd"), this });
        return E;
    }
    std::vector<std::string> Log;
    std::function<void()> Then;
};
X_REGISTER_CLASS(TCommandLog)
X_PUBLISHED(TCommandLog)
{
    X_METHOD(Cmd);
}

// Two monitors: the right one (listed first, index 0) and the primary on
// the left (index 1); each work area leaves a band at the bottom.
const std::vector<TMonitorDesc> TwoMonitors = {
    { { 1920, 0, 3200, 1024 }, { 1920, 0, 3200, 1000 }, 96, 96, false, u"Side", 1, u"Adapter B" },
    { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1040 }, 96, 96, true, u"Main", 0, u"Adapter A" },
};
constexpr Integer RightIndex = 0, PrimaryIndex = 1;

class DesktopPanels : public testing::Test {
protected:
    void SetUp() override
    {
        Presenter.SetMonitors(TwoMonitors);
        Log.reset(New<TCommandLog>(nullptr));
    }
    void TearDown() override
    {
        for (TWinControl* P : Panels)
            P->Free();
        Panels.clear();
        Application->ProcessMessages();
    }

    template<class T = TXHitDesktopPanel>
    T* NewPanel(TXHitType Hit, TRect R, const String& Name = u"spot")
    {
        TOwnedPtr<TXHitAreaItem> Item(New<TXHitAreaItem>(nullptr));
        Item->SetDisplayName(Name);
        Item->SetHit(Hit);
        Item->SetCommand(u"open");
        Item->SetArgs(u"https://example.com/");
        Item->SetHint(u"Open the page");
        T* P = New<T>(nullptr);
        P->SetHit(Item.get(), R);
        Panels.push_back(P);
        return P;
    }
    void Pass(Cardinal Ms)
    {
        Clock.Advance(Ms);
        Application->ProcessMessages();
    }
    void ClickAt(TPoint P)
    {
        PostInput(TInputEvent::Move({ P.X, P.Y }));
        PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiLeft, false));
        Application->ProcessMessages();
    }
    void MoveTo(TPoint P)
    {
        PostInput(TInputEvent::Move({ P.X, P.Y }));
        Application->ProcessMessages();
    }
    std::vector<TRecorder::TArgs> Opened()
    {
        WaitForStartedPrograms();
        return Opener.Runs();
    }

    THeadlessPresenter Presenter;
    TManualClock Clock;
    TTempFolder Bin;
    TRecorder Opener { Bin / "xdg-open", Bin / "opened" };
    TScopedEnv Path { "PATH", Bin.Path().string() + ":" + std::getenv("PATH") };
    TOwnedPtr<TCommandLog> Log;
    std::vector<TWinControl*> Panels;
};

}

TEST_F(DesktopPanels, ASpotOnTheDesktopThatNeverTakesActivation)
{
    auto* P = NewPanel(xhtCustom, { 100, 100, 180, 140 });
    P->SetVisible(true);
    EXPECT_EQ(P->BoundsRect(), Rect(100, 100, 180, 140));
    EXPECT_EQ(P->Hint(), u"Open the page");
    EXPECT_TRUE(P->ShowHint());
    EXPECT_EQ(P->Cursor(), P->HitItem()->Cursor());
    EXPECT_EQ(P->ParentWindow(), GetDesktopWindow());
    const DWORD Ex = DWORD(GetWindowLongPtr(P->Handle(), GWL_EXSTYLE));
    EXPECT_TRUE(Ex & WS_EX_TRANSPARENT);
    EXPECT_TRUE(Ex & WS_EX_NOACTIVATE);
    EXPECT_EQ(GetAncestor(P->Handle(), GA_ROOT), P->Handle()); // top-level
    // Made (and shown) before it had a size, it still reaches the screen.
    EXPECT_TRUE(Presenter.IsSpot(P->Handle()));
    EXPECT_TRUE(Presenter.IsShown(P->Handle()));
    EXPECT_EQ(Presenter.Bounds(P->Handle()), (RECT { 100, 100, 180, 140 }));
    EXPECT_EQ(HWND(GetWindowLongPtr(P->Handle(), GWLP_HWNDPARENT)), DesktopPanelOwner()->Window());
    // The panel keeps its own copy of the hit item.
    EXPECT_EQ(P->HitItem()->Command(), u"open");
    const HWND Before = GetActiveWindow();
    ClickAt({ 120, 120 });
    EXPECT_EQ(GetActiveWindow(), Before);
}

TEST_F(DesktopPanels, AClickReachesOnCommandFiftyMillisecondsLaterUnlessTheItemRunsItself)
{
    struct {
        TXHitType Hit;
        bool Bound;
        std::vector<std::string> Commands;
        size_t Opened;
    } const Cases[] = {
        { xhtCustom, true, { "1 " + std::to_string(int(xhtCustom)) + " spot open https://example.com/" }, 0 },
        { xhtTray, true, { "1 " + std::to_string(int(xhtTray)) + " spot open https://example.com/" }, 0 },
        { xhtWeb, true, {}, 1 }, // the item opens the page itself
        { xhtCustom, false, {}, 0 }, // nobody listens: nothing is scheduled
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(int(C.Hit));
        const size_t OpenedBefore = Opened().size();
        Log->Log.clear();
        auto* P = NewPanel(xhtNone, { 100, 100, 180, 140 });
        P->HitItem()->SetHit(C.Hit);
        if (C.Bound)
            P->OnCommand = Log->Event();
        P->SetVisible(true);
        ClickAt({ 120, 120 });
        Pass(49);
        EXPECT_TRUE(Log->Log.empty());
        Pass(1);
        EXPECT_EQ(Log->Log, C.Commands);
        EXPECT_EQ(Opened().size() - OpenedBefore, C.Opened);
        P->Free();
        Panels.pop_back();
    }
}

TEST_F(DesktopPanels, TheMonitorOfAClickHoldsMostOfThePanel)
{
    struct {
        TRect Bounds;
        Integer Monitor;
    } const Cases[] = {
        { { 2000, 100, 2100, 200 }, RightIndex },
        { { 100, 100, 200, 200 }, PrimaryIndex },
        { { 1900, 100, 2000, 200 }, RightIndex }, // 20 px left, 80 right
        { { 1850, 100, 1950, 200 }, PrimaryIndex }, // 70 left, 30 right
        { { 5000, 5000, 5100, 5100 }, PrimaryIndex }, // on none
    };
    for (const auto& C : Cases) {
        Log->Log.clear();
        auto* P = NewPanel(xhtCustom, C.Bounds);
        P->OnCommand = Log->Event();
        P->SetVisible(true);
        P->Click();
        Pass(50);
        ASSERT_EQ(Log->Log.size(), 1u);
        EXPECT_EQ(Log->Log[0].substr(0, 2), std::to_string(C.Monitor) + " ") << C.Bounds.Left;
    }
}

TEST_F(DesktopPanels, AModalFormDisablesAPanelForAHundredMilliseconds)
{
    auto* P = NewPanel(xhtCustom, { 100, 100, 180, 140 });
    auto* Fixed = NewPanel(xhtCustom, { 300, 100, 380, 140 });
    Fixed->SetAutoEnable(false);
    P->SetVisible(true);
    Fixed->SetVisible(true);
    TOwnedPtr<TForm> Dialog(New<TForm>(nullptr));
    Dialog->SetBounds(500, 500, 200, 100);
    std::vector<std::string> Seen;
    auto State = [&] { return std::string(IsWindowEnabled(P->Handle()) ? "on" : "off") + "/" +
                           (IsWindowEnabled(Fixed->Handle()) ? "on" : "off"); };
    Dialog->OnShow = TNotifyEvent([&](TObject*) {
        Seen.push_back(State());
        Pass(99);
        Seen.push_back(State());
        Pass(1);
        Seen.push_back(State());
        Dialog->SetModalResult(mrOk);
    });
    Dialog->ShowModal();
    EXPECT_EQ(Seen, (std::vector<std::string> { "off/off", "off/off", "on/off" }));
    EXPECT_EQ(State(), "on/on"); // the end of the modal loop gives the rest back
    // Enabled before the timer comes: nothing changes.
    EnableWindow(P->Handle(), false);
    EnableWindow(P->Handle(), true);
    Pass(100);
    EXPECT_TRUE(IsWindowEnabled(P->Handle()));
    // A panel freed before its timer: the timer goes with it.
    EnableWindow(P->Handle(), false);
    P->Free();
    Panels.erase(Panels.begin());
    Pass(100);
}

TEST(DesktopPanelsEnding, NothingIsScheduledOnceTheProgramEnds)
{
    // Ending the program's loop cannot be undone in this process: the
    // test runs again in a process of its own.
    if (!std::getenv("X_TEST_DESKTOP_ENDING")) {
        const TToolResult R = RunThisTestWith({ "X_TEST_DESKTOP_ENDING=1" });
        EXPECT_EQ(R.ExitCode, 0) << R.Output;
        return;
    }
    THeadlessPresenter Presenter;
    TManualClock Clock;
    TOwnedPtr<TXDesktopPanel> P(New<TXDesktopPanel>(nullptr));
    P->SetBounds(100, 100, 80, 40);
    P->SetVisible(true);
    Application->Terminate();
    Application->ProcessMessages();
    ASSERT_TRUE(Application->Terminated());
    EnableWindow(P->Handle(), false);
    Clock.Advance(1000);
    Application->ProcessMessages();
    EXPECT_FALSE(IsWindowEnabled(P->Handle()));
}

TEST_F(DesktopPanels, HandlersMayFreeTheirPanel)
{
    // OnClick frees the panel: nothing of it is touched afterwards.
    auto* P = NewPanel(xhtCustom, { 100, 100, 180, 140 });
    P->OnCommand = Log->Event();
    P->OnClick = TNotifyEvent([&](TObject*) {
        P->Free();
        Panels.clear();
    });
    P->SetVisible(true);
    ClickAt({ 120, 120 });
    Pass(50);
    EXPECT_TRUE(Log->Log.empty());
    // OnCommand frees the panel that scheduled it.
    auto* Q = NewPanel(xhtCustom, { 100, 100, 180, 140 });
    Q->OnCommand = Log->Event();
    Log->Then = [&] {
        Q->Free();
        Panels.clear();
    };
    Q->SetVisible(true);
    ClickAt({ 120, 120 });
    Pass(50);
    EXPECT_EQ(Log->Log.size(), 1u);
    EXPECT_TRUE(Panels.empty());
    // The receiver goes before the command comes: nothing is called.
    Log->Then = nullptr;
    auto* R = NewPanel(xhtCustom, { 100, 100, 180, 140 });
    R->OnCommand = Log->Event();
    R->SetVisible(true);
    ClickAt({ 120, 120 });
    Log.reset();
    Pass(50);
    R->Free();
    Panels.pop_back();
    // OnMouseEnter frees a hot panel before it shows its pop-up.
    auto* Hot = NewPanel<TXHotDesktopPanel>(xhtCustom, { 400, 400, 480, 440 });
    Hot->SetPopupControl(New<TForm>(Hot));
    Hot->OnMouseEnter = TNotifyEvent([&](TObject*) {
        Hot->Free();
        Panels.clear();
    });
    Hot->SetVisible(true);
    MoveTo({ 10, 600 });
    MoveTo({ 420, 420 });
    EXPECT_TRUE(Panels.empty());
}

TEST_F(DesktopPanels, APopUpStaysInsideTheRightAndBottomOfTheWorkArea)
{
    struct {
        TPoint Cursor;
        TPoint Expected;
    } const Cases[] = {
        { { 100, 100 }, { 92, 92 } },
        { { 1900, 500 }, { 1720, 492 } }, // right edge of the primary
        { { 500, 1030 }, { 492, 890 } }, // into the band under its work area
        { { 3190, 990 }, { 3000, 850 } }, // the other monitor's own edges
        { { 3, 3 }, { -5, -5 } }, // left and top are not corrected
        { { 1925, 5 }, { 1917, -3 } }, // nor at the left of the other monitor
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Cursor.X << "," << C.Cursor.Y);
        auto* Hot = NewPanel<TXHotDesktopPanel>(xhtCustom, { C.Cursor.X - 2, C.Cursor.Y - 2, C.Cursor.X + 2,
                                                                 C.Cursor.Y + 2 });
        auto* Popup = New<TForm>(Hot);
        Popup->SetBounds(0, 0, 200, 150);
        Hot->SetPopupControl(Popup);
        Hot->SetVisible(true);
        MoveTo({ 1000, 600 });
        MoveTo(C.Cursor);
        EXPECT_TRUE(Popup->Visible());
        EXPECT_EQ(Point(Popup->Left(), Popup->Top()), C.Expected);
        EXPECT_EQ(Popup->Width(), 200);
        Hot->Free(); // the pop-up goes with it
        Panels.pop_back();
    }
    // A click on a hot panel only raises OnClick.
    auto* Hot = NewPanel<TXHotDesktopPanel>(xhtWeb, { 100, 100, 180, 140 });
    Integer Clicks = 0;
    Hot->OnClick = TNotifyEvent([&](TObject*) { ++Clicks; });
    Hot->SetVisible(true);
    ClickAt({ 120, 120 });
    EXPECT_EQ(Clicks, 1);
    EXPECT_TRUE(Opened().empty());
    // Its item takes the sub-areas of an item that has them.
    TOwnedPtr<TXHitImageAreasItem> Areas(New<TXHitImageAreasItem>(nullptr));
    Areas->Areas()->Add();
    Hot->SetHit(Areas.get(), { 0, 0, 10, 10 });
    EXPECT_EQ(Hot->HitAreasItem()->Areas()->Count(), 1);
}

TEST_F(DesktopPanels, MonitorsComboKeepsItsLineAcrossARefill)
{
    TOwnedPtr<TForm> Form(New<TForm>(nullptr));
    auto* Combo = New<TXMonitorsComboBox>(Form.get());
    Combo->SetParent(Form.get());
    Form->Show();
    EXPECT_EQ(Combo->Style(), csDropDownList);
    ASSERT_EQ(Combo->Items()->Count(), 2);
    EXPECT_EQ(Combo->Items()->Strings(0), u"1. Side on Adapter B");
    EXPECT_EQ(Combo->Items()->Strings(1), u"2. Main on Adapter A");
    EXPECT_EQ(Combo->ItemIndex(), 0);
    struct {
        Integer Selected;
        std::vector<TMonitorDesc> Monitors;
        Integer Expected;
    } const Cases[] = {
        { 1, TwoMonitors, 1 },
        { -1, TwoMonitors, 0 },
        { 1, { TwoMonitors[1] }, 0 }, // the list got shorter than the line
        { 0, { TwoMonitors[1] }, 0 },
    };
    for (const auto& C : Cases) {
        Presenter.SetMonitors(TwoMonitors);
        Combo->RefillList();
        Combo->SetItemIndex(C.Selected);
        Presenter.SetMonitors(C.Monitors);
        Combo->Perform(XM_REFILLMONITORS);
        EXPECT_EQ(Combo->Items()->Count(), Integer(C.Monitors.size()));
        EXPECT_EQ(Combo->ItemIndex(), C.Expected);
        EXPECT_EQ(GetItemIndexOrZero(Combo), C.Expected);
    }
}
