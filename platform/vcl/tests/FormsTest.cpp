#include "ControlTestSupport.h"
#include "vcl/Forms.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "win/Presenter.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <gtest/gtest.h>

namespace {

class TMessageLog : public TObject {
public:
    std::vector<UINT> Seen;
    UINT Swallow = 0;
    void OnMessage(MSG& Msg, bool& Handled)
    {
        Seen.push_back(Msg.message);
        Handled = Msg.message == Swallow;
    }
};

constexpr UINT WM_PROBE = WM_APP + 11;

}

TEST(ApplicationObject, TheLoopHandsEveryMessageToOnMessageUntilQuit)
{
    TMessageLog Log;
    Log.Swallow = WM_PROBE + 1;
    Integer Dispatched = 0;
    HWND Wnd = CreateHiddenWindow([&](HWND, UINT M, WPARAM, LPARAM) -> LRESULT {
        Dispatched += M == WM_PROBE || M == WM_PROBE + 1;
        return 0;
    });
    Application->SetOnMessage(TMessageEvent::Of<&TMessageLog::OnMessage>(&Log));
    PostMessage(Wnd, WM_PROBE, 0, 0);
    PostMessage(Wnd, WM_PROBE + 1, 0, 0);
    PostThreadMessage(GetCurrentThreadId(), WM_PROBE + 2, 0, 0);
    PostQuitMessage(7);
    Application->Run();
    Application->SetOnMessage({});
    DestroyWindow(Wnd);

    EXPECT_EQ(Log.Seen, (std::vector<UINT> { WM_PROBE, WM_PROBE + 1, WM_PROBE + 2 }));
    EXPECT_EQ(Dispatched, 1);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Application->QuitMessage().wParam, 7u);
}

TEST(ApplicationObject, MinimiseAndRestoreByCommand)
{
    THeadlessPresenter Presenter;
    Application->SetTitle(u"Probe title");
    EXPECT_EQ(GetWindowText(Application->Handle()), u"Probe title");
    SendMessage(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Application->Handle()));
    SendMessage(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(Application->Handle()));
}

TEST(ScreenObject, CursorsMonitorsAndFonts)
{
    THeadlessPresenter Presenter;
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Presenter.CursorShape(), XC_watch);
    Screen->SetCursors(5, CreateFontCursor(XC_hand2));
    Screen->SetCursor(5);
    EXPECT_EQ(Presenter.CursorShape(), XC_hand2);
    // Out of the table: the default cursor shows.
    Screen->SetCursors(5, nullptr);
    Screen->SetCursor(5);
    EXPECT_EQ(Presenter.CursorShape(), XC_left_ptr);
    Screen->SetCursor(crDefault);

    TMonitorDesc A { { 0, 0, 1280, 1024 }, { 0, 0, 1280, 1000 }, 96, 96, false, u"A", 0, u"Card" };
    TMonitorDesc B { { 1280, 0, 4160, 1620 }, { 1280, 0, 4160, 1620 }, 144, 144, true, u"B", 0, u"Card" };
    Presenter.SetMonitors({ A, B });
    ASSERT_EQ(Screen->MonitorCount(), 2);
    EXPECT_EQ(Screen->PrimaryMonitor()->MonitorNum(), 1);
    EXPECT_EQ(Screen->PrimaryMonitor()->PixelsPerInch(), 144);
    EXPECT_EQ(Screen->Width(), 2880);
    EXPECT_EQ(Screen->Height(), 1620);
    EXPECT_EQ(Screen->MonitorFromPoint({ 10, 10 })->MonitorNum(), 0);
    EXPECT_EQ(Screen->MonitorFromPoint({ 10, 5000 }, mdNull), nullptr);
    EXPECT_EQ(Screen->Monitors(0)->WorkareaRect().Bottom, 1000);

    TStrings* Fonts = Screen->Fonts();
    ASSERT_GT(Fonts->Count(), 0);
    EXPECT_GE(Fonts->IndexOf(u"DejaVu Sans"), 0);
    for (Integer I = 1; I < Fonts->Count(); ++I)
        EXPECT_LT(AnsiCompareText(Fonts->Strings(I - 1), Fonts->Strings(I)), 0);
}

namespace {

class ModalForms : public ControlTests::TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->Show();
        Dialog = New<TForm>(Form);
        Dialog->SetBorderStyle(bsDialog);
        Dialog->SetBounds(150, 150, 200, 100);
        Button = Add<ControlTests::TProbePanel>(Dialog, { 10, 10, 110, 50 }, 0x808080);
        Application->OnModalBegin = [this](TObject*) { Log.push_back("begin"); };
        Application->OnModalEnd = [this](TObject*) { Log.push_back("end"); };
    }
    void TearDown() override
    {
        Application->OnModalBegin = nullptr;
        Application->OnModalEnd = nullptr;
        TFormFixture::TearDown();
    }
    void ClickScreen(TPoint P)
    {
        PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiLeft, false));
    }

    TForm* Dialog = nullptr;
    ControlTests::TProbePanel* Button = nullptr;
    std::vector<std::string> Log;
};

}

TEST_F(ModalForms, AModalFormRunsUntilItsResultIsSetWithTheOthersDisabled)
{
    bool OwnerDisabled = false;
    Dialog->OnShow = [&](TObject*) { OwnerDisabled = !IsWindowEnabled(Form->Handle()); };
    Button->OnClick = [this](TObject*) { Dialog->SetModalResult(mrOk); };
    // A click on the disabled form first: it brings the dialog, nothing else.
    Integer FormClicks = 0;
    Form->OnClick = [&](TObject*) { ++FormClicks; };
    ClickScreen({ 110, 110 });
    ClickScreen({ 170, 170 });
    EXPECT_EQ(Dialog->ShowModal(), mrOk);
    EXPECT_TRUE(OwnerDisabled);
    EXPECT_EQ(FormClicks, 0);
    EXPECT_TRUE(IsWindowEnabled(Form->Handle()));
    EXPECT_FALSE(Dialog->Visible());
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    EXPECT_EQ(Log, (std::vector<std::string> { "begin", "end" }));
    EXPECT_THROW((Dialog->Show(), Dialog->ShowModal()), EInvalidOperation);
}

TEST_F(ModalForms, CloseQueryCanKeepAModalFormOpen)
{
    Integer Asked = 0;
    Dialog->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++Asked > 1; };
    TCloseAction Seen = caNone;
    Dialog->OnClose = [&](TObject*, TCloseAction& Action) { Seen = Action; };
    Button->OnClick = [this](TObject*) { Dialog->SetModalResult(mrYes); };
    ClickScreen({ 170, 170 });
    ClickScreen({ 180, 180 }); // too far off to be a double click
    EXPECT_EQ(Dialog->ShowModal(), mrYes);
    EXPECT_EQ(Asked, 2);
    EXPECT_EQ(Seen, caHide);
}

TEST_F(ModalForms, QuitEndsTheModalLoopAndStillEndsTheLoopOutside)
{
    PostQuitMessage(5);
    EXPECT_EQ(Dialog->ShowModal(), mrCancel);
    EXPECT_TRUE(IsWindowEnabled(Form->Handle()));
    Application->Run(); // sees the quit again and ends
    EXPECT_EQ(Application->QuitMessage().wParam, 5u);
}

TEST_F(ModalForms, AModalFormFreedInItsOwnHandlerEndsTheLoop)
{
    Button->OnClick = [this](TObject*) { FreeAndNil(Dialog); };
    ClickScreen({ 170, 170 });
    EXPECT_EQ(Dialog->ShowModal(), mrCancel);
    EXPECT_EQ(Dialog, nullptr);
    EXPECT_TRUE(IsWindowEnabled(Form->Handle()));
}

TEST_F(ModalForms, ClosingTheMainFormEndsTheProgram)
{
    Application->SetMainForm(Form);
    PostMessage(Form->Handle(), WM_CLOSE, 0, 0);
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    Application->SetMainForm(nullptr);
}

TEST(ApplicationObject, ExceptionsInHandlersGoToOnExceptionAndAbortIsSilent)
{
    THeadlessPresenter Presenter;
    std::vector<String> Seen;
    Application->OnException = [&](TObject*, Exception* E) { Seen.push_back(E->Message()); };
    auto* Form = New<TForm>(nullptr);
    Form->SetBounds(0, 0, 100, 100);
    Form->OnClick = [](TObject*) { throw EConvertError(u"bad"); };
    Form->OnDblClick = [](TObject*) { throw EAbort(u"quiet"); };
    Form->Show();
    Form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessage(Form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessage(Form->Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(Seen, (std::vector<String> { u"bad" }));
    Application->OnException = nullptr;
    Form->Free();
}

TEST(FormPlacement, PositionCentresAndBorderStyleChoosesTheFrameTheScreenDraws)
{
    THeadlessPresenter Presenter;
    TMonitorDesc M { { 0, 0, 1000, 800 }, { 0, 0, 1000, 760 }, 96, 96, true, u"M", 0, u"Card" };
    Presenter.SetMonitors({ M });
    auto* Form = New<TForm>(nullptr);
    Form->SetBounds(0, 0, 200, 100);
    Form->SetPosition(poScreenCenter);
    Form->SetCaption(u"Centred");
    Form->Show();
    EXPECT_EQ(Form->BoundsRect(), Rect(400, 330, 600, 430));
    EXPECT_EQ(Presenter.Bounds(Form->Handle()), (RECT { 400, 330, 600, 430 }));
    EXPECT_EQ(Presenter.Title(Form->Handle()), u"Centred");
    EXPECT_TRUE(Presenter.IsShown(Form->Handle()));
    EXPECT_EQ(GetWindowLongPtr(Form->Handle(), GWL_STYLE) & WS_THICKFRAME, LONG_PTR(WS_THICKFRAME));
    // A dialog centred on its owner form.
    auto* Dialog = New<TForm>(Form);
    Dialog->SetBorderStyle(bsDialog);
    Dialog->SetPosition(poOwnerFormCenter);
    Dialog->SetBounds(0, 0, 100, 50);
    Dialog->Show();
    EXPECT_EQ(Dialog->BoundsRect(), Rect(450, 355, 550, 405));
    EXPECT_EQ(GetWindowLongPtr(Dialog->Handle(), GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(GetWindow(Dialog->Handle(), GW_OWNER), Application->Handle());
    // The screen moving the form reaches its bounds.
    TInputEvent Placed = TInputEvent::WindowEvent(TInputEvent::Placed, Form->Handle());
    Placed.Bounds = { 10, 20, 210, 120 };
    PostInput(Placed);
    Application->ProcessMessages();
    EXPECT_EQ(Form->Left(), 10);
    Form->Free();
}
