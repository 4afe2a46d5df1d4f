#include "core/XCore.App.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.IO.h"
#include "core/XCore.ServiceManager.h"
#include "core/XSpark.App.h"
#include "InstanceTestSupport.h"
#include "rtl/StringList.h"
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include "win/InstanceLock.h"
#include "win/Presenter.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using CoreTests::RunInstanceHelper;
using Testing::TChildProcess;
using Testing::TScopedEnv;
using Testing::TTempFolder;

namespace {

class TActivationLog : public TObject {
public:
    std::vector<std::pair<TClass, Integer>> Aspects;
    std::vector<UINT> Messages;
    UINT Done = 0;
    bool Finished = false;

    void On(IXNotification* N)
    {
        TXCustomAspect* A = N->GetAspect();
        Integer Param = -1;
        if (auto* C = DynamicCast<TXAppCustomActivateAspect>(A))
            Param = C->Param;
        else if (auto* O = DynamicCast<TXAppOpenAspect>(A))
            Param = O->Param;
        Aspects.emplace_back(A->ClassType(), Param);
    }
    void Message(MSG& Msg, bool& Handled)
    {
        Messages.push_back(Msg.message);
        Finished = Finished || Msg.message == Done;
    }
};

}

TEST(ApplicationObject, ProgramFolderFileAndDataAsMacros)
{
    TXQVApp* App = QVApp();
    ASSERT_NE(App, nullptr);
    EXPECT_TRUE(fs::equivalent(StringToUTF8(App->ProgramFile()), "/proc/self/exe"));
    EXPECT_EQ(App->ProgramFolder(), ExtractFilePath(App->ProgramFile()));
    EXPECT_EQ(App->ProgramFolder().back(), u'/');

    EXPECT_EQ(ExpandPathMacros(u"<data>x"), u"x");
    EXPECT_EQ(ExpandPathMacros(u"<exen>|<exe>a\\b"), App->ProgramFile() + u"|" + App->ProgramFolder() + u"a/b");
    App->SetDataFolder(u"/data/");
    EXPECT_EQ(ExpandPathMacros(u"<data>Pictures\\"), u"/data/Pictures/");
    App->SetDataFolder(u"");

    EXPECT_EQ(QVParams()->Params()->Strings(0), App->ProgramFile());
    EXPECT_EQ(AppServices()->GetService<TXAppVersionService>()->PublisherId, u"xx");
}

TEST(ApplicationObject, SwitchesByPrefixOrWhole)
{
    TOwnedPtr<TXQVParams> Params(New<TXQVParams>());
    Params->Params()->SetText(u"/usr/bin/prog\n/DATA:/tmp/x\n/demox\n/Demo\n/a");
    struct {
        String Switch;
        Integer Index;
    } Cases[] = {
        { u"/data:", 1 },
        { u"/demo", 3 },
        { u"/DEMO", 3 },
        { u"/a", 4 },
        { u"/b", -1 },
        { u"/usr/bin/prog", 0 },
        { u"/dem", -1 },
        { u"/demox:", -1 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Params->IndexOf(C.Switch), C.Index) << StringToUTF8(C.Switch);
    EXPECT_TRUE(Params->HasSwitch(u"/demo"));
}

TEST(ApplicationObject, ActivationRecordsOfASecondProcessBecomeAspects)
{
    TTempFolder Runtime;
    TScopedEnv RuntimeVar("XDG_RUNTIME_DIR", Runtime.Path().string());
    const std::string Name = "Activation probe";
    ASSERT_TRUE(AcquireSingleInstance(UTF8ToString(Name)));
    EXPECT_EQ(RunInstanceHelper({ "acquire", Name }), 1);

    TActivationLog Log;
    Log.Done = RegisterWindowMessage(u"QVMProbeDone");
    GetAppEngine()->SubscribeAll(TXNotificationHandler::Of<&TActivationLog::On>(&Log));
    QVApp()->SetOnMessage(TMessageEvent::Of<&TActivationLog::Message>(&Log));

    for (const char* W : { "0", "1", "2", "3" })
        EXPECT_EQ(RunInstanceHelper({ "send", Name, "QVMActivateApplication", W, std::string("1") + W }), 0);
    EXPECT_EQ(RunInstanceHelper({ "garbage", Name }), 0);
    EXPECT_EQ(RunInstanceHelper({ "send", Name, "QVMProbeDone", "0", "0" }), 0);
    while (!Log.Finished)
        Application->HandleMessage();

    QVApp()->SetOnMessage({});
    GetAppEngine()->UnsubscribeMethod(TXNotificationHandler::Of<&TActivationLog::On>(&Log));
    const std::vector<std::pair<TClass, Integer>> Expected = { { TXAppCustomActivateAspect::StaticClass(), 10 },
        { TXAppOpenAspect::StaticClass(), 11 }, { TXAppTerminateAspect::StaticClass(), -1 } };
    EXPECT_EQ(Log.Aspects, Expected);
    // The activation message never reaches the chained handler.
    EXPECT_EQ(std::count(Log.Messages.begin(), Log.Messages.end(), WM_QVMACTIVATEAPPLICATION), 0);
}

TEST(ApplicationObjectDeathTest, NoInstanceAfterTheApplicationTerminated)
{
    TTempFolder Runtime;
    TScopedEnv RuntimeVar("XDG_RUNTIME_DIR", Runtime.Path().string());
    EXPECT_EXIT(
        {
            TerminateApp();
            std::_Exit(AcquireSingleInstance(u"After the end") ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
    // Nothing was made for the name.
    EXPECT_FALSE(fs::exists(Runtime / "quorvale" / (InstanceFileName(u"After the end") + ".lock")));
}

TEST(ApplicationObject, BringToFrontRestoresAMinimisedApplication)
{
    THeadlessPresenter Presenter;
    Application->Minimize();
    ASSERT_TRUE(IsIconic(Application->Handle()));
    EXPECT_TRUE(BringAppToFront());
    EXPECT_FALSE(IsIconic(Application->Handle()));
    EXPECT_FALSE(BringAppToFront());
}

// Not minimised, the application brings its last active form forward when
// that form can take the input, else it answers False.
TEST(ApplicationObject, BringToFrontBringsTheLastActiveFormWhenItIsVisibleAndEnabled)
{
    THeadlessPresenter Presenter;
    EXPECT_FALSE(BringAppToFront()); // no form at all
    TOwnedPtr<TForm> Form(New<TForm>(nullptr));
    Form->Show();
    ASSERT_EQ(GetLastActivePopup(Application->Handle()), Form->Handle());

    struct TCase {
        const char* Name;
        bool Visible, Enabled, Result;
    };
    for (const TCase& C : { TCase { "visible and enabled", true, true, true },
             TCase { "hidden", false, true, false }, TCase { "disabled", true, false, false } }) {
        SCOPED_TRACE(C.Name);
        Form->SetVisible(C.Visible);
        EnableWindow(Form->Handle(), C.Enabled);
        EXPECT_EQ(BringAppToFront(), C.Result);
        if (C.Result)
            EXPECT_EQ(GetForegroundWindow(), Form->Handle());
        Form->SetVisible(true);
        EnableWindow(Form->Handle(), true);
    }
}

TEST(ApplicationObject, TaskBarFormsAreListedOnceAndLeaveWhenFreed)
{
    TXQVApp* App = QVApp();
    TOwnedPtr<TComponent> Form(New<TComponent>(nullptr));
    App->AddTaskBarForm(Form.get());
    App->AddTaskBarForm(Form.get());
    EXPECT_EQ(App->TaskBarForms()->Count(), 1);
    Form.reset();
    EXPECT_EQ(App->TaskBarForms()->Count(), 0);
}

TEST(ScreenScaling, PerMonitorDpiAndRectangles)
{
    THeadlessPresenter Presenter;
    const Integer Before = Screen->PixelsPerInch();
    TMonitorDesc Side { { -1920, 0, 0, 1080 }, { -1920, 0, 0, 1080 }, 96, 96, false };
    TMonitorDesc Main { { 0, 0, 2880, 1620 }, { 0, 0, 2880, 1580 }, 144, 144, true };
    Presenter.SetMonitors({ Side, Main });
    InitPerMonitorDPI();
    EXPECT_EQ(Screen->PixelsPerInch(), 144);
    Presenter.SetMonitors({});
    InitPerMonitorDPI();
    EXPECT_EQ(Screen->PixelsPerInch(), 144);
    Screen->SetPixelsPerInch(Before);

    EXPECT_EQ(ScaleRect(Rect(1, 1, 3, 3), 1.5, 2), Rect(2, 2, 4, 6));
    EXPECT_EQ(ScaleRect(Rect(-1, 0, 5, 7), 0.5, 0.5), Rect(0, 0, 2, 4));
    EXPECT_EQ(ScaleToDPI(100), 100); // the test programs' screen is 96 DPI
    EXPECT_TRUE(IsWindows81OrLater());
}
