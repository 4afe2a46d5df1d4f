// Message windows: WM_COPYDATA and the activation message, also from a
// second process through the single-instance socket; the application's
// events while a TXMsgWindow exists, and two of them.
#include "InstanceTestSupport.h"
#include "core/XCore.App.h"
#include "core/XEngine.MsgWindows.h"
#include "core/XSpark.App.h"
#include "rtl/Exceptions.h"
#include "rtl/testing/Testing.h"
#include "win/Presenter.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using CoreTests::RunInstanceHelper;
using Testing::TScopedEnv;
using Testing::TTempFolder;

// The published handlers a data module would have.
class TWindowSink : public TComponent {
    X_CLASS(TWindowSink, TComponent)
public:
    std::vector<std::string> Log;
    std::function<void()> OnCopy;

    template<class Sig>
    void Bind(TEvent<Sig>& Event, const char16_t* Name)
    {
        Event.SetMethod({ MethodAddress(StaticClass(), Name), this });
    }

    void Terminate(TObject* Sender) { Log.push_back("terminate " + Who(Sender)); }
    void Hint(TObject* Sender) { Log.push_back("hint " + Who(Sender)); }
    void XMessage(TMessage& Message, bool& Handled)
    {
        Log.push_back("xmessage " + std::to_string(Message.WParam) + " " + std::to_string(Message.LParam));
        Handled = true;
    }
    void CopyData(TObject* Sender, HWND SenderWindow, const String& Text, ULONG_PTR Kind)
    {
        Log.push_back("copy " + Who(Sender) + " " + std::to_string(reinterpret_cast<NativeUInt>(SenderWindow)) + " " +
            std::to_string(Kind) + " " + std::to_string(Text.size()));
        Texts.push_back(Text);
        if (OnCopy)
            OnCopy();
    }
    void Failed(TObject* Sender, Exception* E) { Log.push_back("exception " + StringToUTF8(E->Message())); }
    void Message(MSG& Msg, bool& Handled)
    {
        if (Msg.message == WM_APP + 1)
            Log.push_back("message " + std::to_string(Msg.wParam));
    }

    std::vector<String> Texts;
    std::vector<TObject*> Windows; // names the senders in the log

private:
    std::string Who(TObject* Sender)
    {
        if (Sender == Application)
            return "app";
        for (size_t I = 0; I < Windows.size(); ++I)
            if (Windows[I] == Sender)
                return std::to_string(I);
        return "?";
    }
};

LRESULT SendCopyData(HWND Wnd, WPARAM From, ULONG_PTR Kind, const std::vector<Byte>& Bytes, bool NullData = false)
{
    // A buffer of exactly cbData bytes: reading past it is caught by the
    // sanitizer.
    std::unique_ptr<Byte[]> Buffer(new Byte[std::max<size_t>(Bytes.size(), 1)]);
    std::copy(Bytes.begin(), Bytes.end(), Buffer.get());
    COPYDATASTRUCT Data { Kind, DWORD(Bytes.size()), NullData ? nullptr : Buffer.get() };
    return SendMessage(Wnd, WM_COPYDATA, From, reinterpret_cast<LPARAM>(&Data));
}

std::vector<Byte> Utf16Bytes(const String& Text)
{
    std::vector<Byte> Bytes;
    for (Char C : Text) {
        Bytes.push_back(Byte(C & 0xFF));
        Bytes.push_back(Byte(C >> 8));
    }
    return Bytes;
}

class MessageWindows : public testing::Test {
protected:
    THeadlessPresenter Presenter;
    TOwnedPtr<TWindowSink> Sink { New<TWindowSink>(nullptr) };

    template<class T>
    T* NewWindow()
    {
        auto* W = New<T>(nullptr);
        Sink->Windows.push_back(W);
        return W;
    }
};

}

X_PUBLISHED(TWindowSink)
{
    X_METHOD(Terminate);
    X_METHOD(Hint);
    X_METHOD(XMessage);
    X_METHOD(CopyData);
    X_METHOD(Failed);
    X_METHOD(Message);
}
X_REGISTER_CLASS(TWindowSink)

TEST_F(MessageWindows, CopyDataTextIsReadWithinItsBytes)
{
    struct {
        const char* Case;
        std::vector<Byte> Bytes;
        bool NullData;
        String Text;
    } Cases[] = {
        { "no data", Utf16Bytes(u"ab"), true, u"" },
        { "size 0", {}, false, u"" },
        { "closing null dropped", Utf16Bytes(String(u"ab\0", 3)), false, u"ab" },
        { "no closing null", Utf16Bytes(u"ab"), false, u"ab" },
        { "odd byte ignored", { 'a', 0, 'b', 0, 'X' }, false, u"ab" },
        { "odd byte after the null", { 'a', 0, 0, 0, 'X' }, false, u"a" },
        { "one null dropped only", Utf16Bytes(String(u"a\0\0", 3)), false, String(u"a\0", 2) },
        { "one byte", { 'X' }, false, u"" },
        { "beyond the basic plane", Utf16Bytes(u"\U0001F600"), false, u"\U0001F600" },
    };
    TOwnedPtr<TXCoreMsgWindow> Window(NewWindow<TXCoreMsgWindow>());
    Sink->Bind(Window->OnWMCopyData, u"CopyData");
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Case);
        Sink->Texts.clear();
        EXPECT_EQ(SendCopyData(Window->Window(), 77, 5, C.Bytes, C.NullData), 1);
        ASSERT_EQ(Sink->Texts.size(), 1u);
        EXPECT_EQ(Sink->Texts[0], C.Text);
    }
    EXPECT_EQ(Sink->Log.back(), "copy 0 77 5 2");
}

TEST_F(MessageWindows, CopyDataOfKindOneBringsTheApplicationForwardFirst)
{
    TOwnedPtr<TForm> Form(New<TForm>(Application));
    Form->Show();
    // Another program's window has the foreground.
    const HWND Foreign =
        CreateHiddenWindow([](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT { return DefWindowProc(W, M, WP, LP); });
    ShowWindow(Foreign, SW_SHOW);
    SetForegroundWindow(Foreign);
    ASSERT_EQ(GetForegroundWindow(), Foreign);

    TOwnedPtr<TXCoreMsgWindow> Window(NewWindow<TXCoreMsgWindow>());
    Sink->Bind(Window->OnWMCopyData, u"CopyData");
    std::vector<HWND> Foreground;
    std::vector<bool> Iconic;
    Sink->OnCopy = [&] {
        Foreground.push_back(GetForegroundWindow());
        Iconic.push_back(IsIconic(Application->Handle()));
    };
    SendCopyData(Window->Window(), 0, 0, Utf16Bytes(u"x"));
    SendCopyData(Window->Window(), 0, 1, Utf16Bytes(u"x"));
    Application->Minimize();
    SendCopyData(Window->Window(), 0, 2, Utf16Bytes(u"x"));
    SendCopyData(Window->Window(), 0, 1, Utf16Bytes(u"x"));
    EXPECT_EQ(Foreground[0], Foreign);
    EXPECT_EQ(Foreground[1], Form->Handle());
    EXPECT_EQ(Iconic, (std::vector<bool> { false, false, true, false }));
    DestroyWindow(Foreign);
}

TEST_F(MessageWindows, WhatASecondProcessSendsReachesEveryMessageWindow)
{
    TTempFolder Runtime;
    TScopedEnv RuntimeVar("XDG_RUNTIME_DIR", Runtime.Path().string());
    const std::string Name = "Message window probe";
    ASSERT_TRUE(AcquireSingleInstance(UTF8ToString(Name)));

    auto* First = NewWindow<TXCoreMsgWindow>();
    TOwnedPtr<TXTitleMsgWindow> Second(NewWindow<TXTitleMsgWindow>());
    for (TXCoreMsgWindow* W : { First, static_cast<TXCoreMsgWindow*>(Second.get()) }) {
        Sink->Bind(W->OnTerminate, u"Terminate");
        Sink->Bind(W->OnXMessage, u"XMessage");
        Sink->Bind(W->OnWMCopyData, u"CopyData");
    }
    // Records arrive on the listener's thread; a copy is handed to the
    // main thread as a method, which no message follows.
    const auto WaitFor = [&](size_t Lines) {
        for (;;) {
            Application->ProcessMessages();
            if (Sink->Log.size() >= Lines)
                return;
            WaitMessage();
        }
    };
    EXPECT_EQ(RunInstanceHelper({ "send", Name, "QVMActivateApplication", "2", "0" }), 0);
    WaitFor(2);
    EXPECT_EQ(RunInstanceHelper({ "send", Name, "QVMActivateApplication", "1", "5" }), 0);
    WaitFor(4);
    // "abcd" as bytes is two UTF-16 units; the sender window is none.
    EXPECT_EQ(RunInstanceHelper({ "copy", Name, "7", "abcd" }), 0);
    WaitFor(6);
    EXPECT_EQ(Sink->Log,
        (std::vector<std::string> { "terminate 0", "terminate 1", "xmessage 1 5", "xmessage 1 5", "copy 0 0 7 2",
            "copy 1 0 7 2" }));
    EXPECT_EQ(Sink->Texts[0], (String { Char('a' | 'b' << 8), Char('c' | 'd' << 8) }));

    // The one left still hears.
    First->Free();
    Sink->Log.clear();
    EXPECT_EQ(RunInstanceHelper({ "send", Name, "QVMActivateApplication", "2", "0" }), 0);
    WaitFor(1);
    EXPECT_EQ(Sink->Log, std::vector<std::string> { "terminate 1" });
}

TEST_F(MessageWindows, ExceptionsWithoutOnExceptionAreDroppedUnshown)
{
    TManualClock Clock;
    const auto Raise = [&](bool Abort) {
        DelayCall(10, [Abort](TObject*) {
            if (Abort)
                throw EAbort(u"quiet");
            throw Exception(u"loud");
        });
        testing::internal::CaptureStderr();
        Clock.Advance(10);
        Application->ProcessMessages();
        return testing::internal::GetCapturedStderr();
    };
    // Without a message window the application reports it.
    EXPECT_NE(Raise(false).find("loud"), std::string::npos);

    TOwnedPtr<TXMsgWindow> Window(NewWindow<TXMsgWindow>());
    EXPECT_EQ(Raise(false), "");
    EXPECT_EQ(Raise(true), "");
    EXPECT_TRUE(Sink->Log.empty());
    Sink->Bind(Window->OnException, u"Failed");
    EXPECT_EQ(Raise(true), "");
    EXPECT_EQ(Raise(false), "");
    EXPECT_EQ(Sink->Log, std::vector<std::string> { "exception loud" });
    // Help without OnHelp answers False.
    EXPECT_FALSE(Application->HelpCommand(0, 0));
}

TEST_F(MessageWindows, FreeingOneOfTwoLeavesTheOtherWithTheApplicationsEvents)
{
    auto* Older = NewWindow<TXMsgWindow>();
    auto* Newer = NewWindow<TXMsgWindow>();
    Sink->Bind(Older->OnHint, u"Hint");
    Sink->Bind(Newer->OnHint, u"Hint");
    Sink->Bind(Newer->OnMessage, u"Message");
    // The window's text is the application's title.
    EXPECT_EQ(GetWindowText(Newer->Window()), Application->Title());

    Sink->Bind(Older->OnMessage, u"Message");
    Older->Free();
    // The newer one alone has the application's events.
    Application->SetHint(u"one");
    PostMessage(nullptr, WM_APP + 1, 42, 0);
    Application->ProcessMessages();
    EXPECT_EQ(Sink->Log, (std::vector<std::string> { "hint app", "message 42" }));

    Newer->Free();
    EXPECT_FALSE(Application->OnHint);
    EXPECT_FALSE(Application->OnException);
    EXPECT_FALSE(QVApp()->OnMessage());
    Application->SetHint(u"two");
    EXPECT_EQ(Sink->Log.size(), 2u);
}

TEST_F(MessageWindows, ATitledWindowShowsItsTitleAndAFormOwnerIsItsOwnerForm)
{
    TOwnedPtr<TForm> Form(New<TForm>(Application));
    auto* Titled = New<TXTitleMsgWindow>(Form.get());
    EXPECT_EQ(Titled->OwnerForm(), Form.get());
    Titled->SetTitle(u"Quorvale Lumeno - Wallpaper Calendar");
    EXPECT_EQ(GetWindowText(Titled->Window()), u"Quorvale Lumeno - Wallpaper Calendar");
    EXPECT_TRUE(GetWindowLongPtr(Titled->Window(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    Titled->ShowOwnerForm();
    EXPECT_TRUE(Form->Visible());
}
