// Component gears on the manual clock: posted and direct commands, the
// one-shot timers and their cancellation, gear boxes and their hot keys,
// and the event notifier.
#include "core/XEngine.Gears.h"
#include "rtl/Exceptions.h"
#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/Presenter.h"
#include "win/Time.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using TCalls = std::vector<std::string>;

std::string CommandText(const char* Who, TObject* Sender, Integer Monitor, TXHitType Hit, const String& Name,
    const String& Command)
{
    return std::string(Who) + (Sender ? " sender " : " nil ") + std::to_string(Monitor) + " " +
        std::to_string(Integer(Hit)) + " " + StringToUTF8(Name) + " " + StringToUTF8(Command);
}

// A gear that logs its hooks, answers hot keys and may register one.
class TLogGear : public XEngine::TXGear {
    X_CLASS(TLogGear, XEngine::TXGear)
public:
    TCalls* Log = nullptr;
    Integer HotKey = 0; // the id it answers
    Integer Answer = 0; // with this command
    bool ActivateAnswer = true;
    bool RegisterKey = false; // grabs F4 as HotKey when started

    void DoCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args) override
    {
        Log->push_back(CommandText("hook", Sender, Monitor, Hit, HitName, Command));
    }
    void DoIntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args) override
    {
        Log->push_back(CommandText("int hook", Sender, Monitor, Hit, HitName, IntToStr(Command)));
    }
    bool Activate() override
    {
        Log->push_back("activate " + StringToUTF8(Name()));
        return ActivateAnswer;
    }
    void Start(HWND AContext) override
    {
        inherited::Start(AContext);
        Log->push_back("start " + StringToUTF8(Name()));
        if (RegisterKey)
            RegisterHotKey(AContext, HotKey, 0, VK_F4);
    }
    void Stop() override
    {
        Log->push_back("stop " + StringToUTF8(Name()));
        if (RegisterKey && Context())
            UnregisterHotKey(Context(), HotKey);
    }
    Integer HotKeyCommand(Integer HotKeyId) override { return HotKeyId == HotKey ? Answer : 0; }
};

// The receiver of command events: published methods, as a form has them.
class TCommandSink : public TComponent {
    X_CLASS(TCommandSink, TComponent)
public:
    TCalls* Log = nullptr;
    std::function<void(const String& HitName)> Then;

    void Cmd(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args)
    {
        Log->push_back(CommandText("event", Sender, Monitor, Hit, HitName, Command));
    }
    void IntCmd(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args)
    {
        Log->push_back(CommandText("int event", Sender, Monitor, Hit, HitName, IntToStr(Command)));
        if (Then)
            Then(HitName);
    }
};

TXCommandEvent SinkCommand(TCommandSink* Sink)
{
    TXCommandEvent E;
    E.SetMethod({ MethodAddress(TCommandSink::StaticClass(), u"Cmd"), Sink });
    return E;
}

TXIntCommandEvent SinkIntCommand(TCommandSink* Sink)
{
    TXIntCommandEvent E;
    E.SetMethod({ MethodAddress(TCommandSink::StaticClass(), u"IntCmd"), Sink });
    return E;
}

// Time passes in steps, the loop taking what is due after each.
void Pass(TManualClock& Clock, Cardinal Milliseconds)
{
    Clock.Advance(Milliseconds);
    Application->ProcessMessages();
}

class Gears : public testing::Test {
protected:
    TManualClock Clock;
    TCalls Log;
    Integer TimersBefore = Application->ComponentCount();

    TLogGear* NewGear(const char* Name, TComponent* Owner = nullptr)
    {
        auto* G = New<TLogGear>(Owner);
        G->SetName(UTF8ToString(Name));
        G->Log = &Log;
        return G;
    }
    TCommandSink* NewSink()
    {
        auto* S = New<TCommandSink>(nullptr);
        S->Log = &Log;
        return S;
    }
    // The application's components beside those the fixture found.
    Integer TimersLeft() const { return Application->ComponentCount() - TimersBefore; }
};

}

X_PUBLISHED(TCommandSink)
{
    X_METHOD(Cmd);
    X_METHOD(IntCmd);
}
X_REGISTER_CLASS(TLogGear)
X_REGISTER_CLASS(TCommandSink)

TEST_F(Gears, PostedCommandsReachTheHookAt20AndTheEventAt50WithSenderNil)
{
    TOwnedPtr<TCommandSink> Sink(NewSink());
    TOwnedPtr<TLogGear> Gear(NewGear("G"));
    Gear->OnCommand = SinkCommand(Sink.get());
    Gear->OnIntCommand = SinkIntCommand(Sink.get());

    Gear->PostCommand(Sink.get(), 2, xhtTray, u"Tray", u"open", u"");
    Gear->PostIntCommand(Sink.get(), 3, xhtCustom, u"Key", 7, u"");
    Pass(Clock, 19);
    EXPECT_TRUE(Log.empty());
    Pass(Clock, 1);
    EXPECT_EQ(Log, (TCalls { "hook nil 2 23 Tray open", "int hook nil 3 30 Key 7" }));
    Pass(Clock, 29);
    EXPECT_EQ(Log.size(), 2u);
    Pass(Clock, 1);
    EXPECT_EQ(Log,
        (TCalls { "hook nil 2 23 Tray open", "int hook nil 3 30 Key 7", "event nil 2 23 Tray open",
            "int event nil 3 30 Key 7" }));
    // Every one-shot timer has gone.
    EXPECT_EQ(TimersLeft(), 0);

    // At once, in the same order, with the given sender.
    Log.clear();
    Gear->Command(Sink.get(), 1, xhtWeb, u"W", u"go", u"");
    Gear->IntCommand(Sink.get(), 1, xhtWeb, u"W", 9, u"");
    EXPECT_EQ(Log,
        (TCalls { "hook sender 1 26 W go", "event sender 1 26 W go", "int hook sender 1 26 W 9",
            "int event sender 1 26 W 9" }));
}

TEST_F(Gears, AnEventAssignedAfterPostingDoesNotGetThePostedCommand)
{
    TOwnedPtr<TCommandSink> Sink(NewSink());
    TOwnedPtr<TLogGear> Gear(NewGear("G"));
    Gear->PostCommand(nullptr, 0, xhtCustom, u"X", u"late", u"");
    Gear->OnCommand = SinkCommand(Sink.get());
    Pass(Clock, 100);
    EXPECT_EQ(Log, TCalls { "hook nil 0 30 X late" });
}

TEST_F(Gears, FreeingWhatATimerWouldCallCancelsTheTimer)
{
    // The gear goes with its hook and its event pending; then a sink goes
    // with only its event pending.
    TOwnedPtr<TCommandSink> Sink(NewSink());
    auto* Gear = NewGear("G");
    Gear->OnCommand = SinkCommand(Sink.get());
    Gear->PostCommand(nullptr, 0, xhtCustom, u"X", u"a", u"");
    Gear->PostIntCommand(nullptr, 0, xhtCustom, u"X", 1, u"");
    EXPECT_EQ(TimersLeft(), 3);
    Pass(Clock, 10);
    Gear->Free();
    // Its own hooks are cancelled; the sink's event still comes.
    EXPECT_EQ(TimersLeft(), 1);
    Pass(Clock, 100);
    EXPECT_EQ(Log, TCalls { "event nil 0 30 X a" });

    Log.clear();
    TOwnedPtr<TLogGear> Other(NewGear("H"));
    Other->OnCommand = SinkCommand(Sink.get());
    Other->PostCommand(nullptr, 0, xhtCustom, u"Y", u"b", u"");
    Pass(Clock, 30);
    Sink.reset();
    Pass(Clock, 100);
    EXPECT_EQ(Log, TCalls { "hook nil 0 30 Y b" });
    EXPECT_EQ(TimersLeft(), 0);

    // A delayed call watching a component goes with it too.
    Integer Calls = 0;
    auto* Receiver = New<TComponent>(nullptr);
    DelayCall(
        100, [&](TObject*) { ++Calls; }, Receiver);
    Receiver->Free();
    Pass(Clock, 200);
    EXPECT_EQ(Calls, 0);
    EXPECT_EQ(TimersLeft(), 0);
}

TEST_F(Gears, AStartTimerFiresOnceAndFreesItselfAlsoWhenItsHandlerRaises)
{
    std::vector<TObject*> Senders;
    Application->OnException = [&](TObject* Sender, Exception* E) { Senders.push_back(Sender); };
    Integer Calls = 0;
    DelayCall(40, [&](TObject*) {
        ++Calls;
        throw Exception(u"handler failed");
    });
    DelayCall(40, [&](TObject*) { ++Calls; });
    Pass(Clock, 40);
    Pass(Clock, 200);
    Application->OnException = nullptr;
    EXPECT_EQ(Calls, 2);
    EXPECT_EQ(TimersLeft(), 0);
    // The exception was reported without the freed timer as its sender.
    EXPECT_EQ(Senders, std::vector<TObject*> { nullptr });
}

TEST_F(Gears, ABoxAsksEveryGearAndStartsThemWithTheRightWindows)
{
    TOwnedPtr<XEngine::TXEngine> Box(New<XEngine::TXEngine>(nullptr));
    Box->SetName(u"Box");
    auto* A = NewGear("A");
    auto* B = NewGear("B");
    B->ActivateAnswer = false;
    auto* C = NewGear("C");
    auto* Message = New<TXMessageGear>(nullptr);
    auto* Inner = New<TXEngineBox>(nullptr);
    for (XEngine::TXGear* G : std::initializer_list<XEngine::TXGear*> { A, B, C, Message, Inner })
        Box->Gears()->Add(G);

    EXPECT_FALSE(Box->Activate());
    EXPECT_EQ(Log, (TCalls { "activate A", "activate B", "activate C", "start A", "start B", "start C" }));
    EXPECT_EQ(Box->Context(), Box->Window());
    EXPECT_EQ(A->Context(), Box->Window());
    EXPECT_EQ(Message->Context(), Message->Window());
    EXPECT_EQ(Inner->Context(), Inner->Window());
    // A hidden tool window, never on the task bar.
    const LONG_PTR ExStyle = GetWindowLongPtr(Box->Window(), GWL_EXSTYLE);
    EXPECT_TRUE(ExStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(ExStyle & WS_EX_APPWINDOW);

    // A gear freed elsewhere leaves the box; the box stops the others when
    // it goes, and frees them.
    Log.clear();
    C->Free();
    // A started gear stops when it goes.
    EXPECT_EQ(Log, TCalls { "stop C" });
    Log.clear();
    Box->Stop();
    EXPECT_EQ(Log, (TCalls { "stop A", "stop B" }));
    EXPECT_EQ(Box->Context(), Box->Window());
    Log.clear();
    Box.reset();
    EXPECT_EQ(Log, (TCalls { "stop A", "stop B", "stop A", "stop B" }));
}

TEST_F(Gears, TwoGearsAnsweringOneHotKeyGiveTwoCommandsInGearOrder)
{
    THeadlessPresenter Presenter;
    TOwnedPtr<TCommandSink> Sink(NewSink());
    TOwnedPtr<TXEngineBox> Box(New<TXEngineBox>(nullptr));
    Box->OnIntCommand = SinkIntCommand(Sink.get());
    auto* A = NewGear("Grab");
    A->HotKey = 5;
    A->Answer = 11;
    A->RegisterKey = true;
    auto* B = NewGear("Also");
    B->HotKey = 5;
    B->Answer = 22;
    auto* C = NewGear("Quiet");
    C->HotKey = 6;
    for (XEngine::TXGear* G : std::initializer_list<XEngine::TXGear*> { A, B, C })
        Box->Gears()->Add(G);
    ASSERT_TRUE(Box->Activate());
    Log.clear();

    PostInput(TInputEvent::KeyEvent(VK_F4, true));
    PostInput(TInputEvent::KeyEvent(VK_F4, false));
    Application->ProcessMessages();
    // The box's own commands, named after the gears; Quiet is asked too.
    EXPECT_EQ(Log, (TCalls { "int event nil 0 30 Grab 11", "int event nil 0 30 Also 22" }));

    // A handler that frees the gear it was called for, or the next one,
    // or the box: the walk goes on over what is left, or ends.
    struct {
        const char* Frees;
        TCalls Events;
    } Cases[] = {
        { "self", { "int event nil 0 30 Grab 11", "int event nil 0 30 Also 22" } },
        { "next", { "int event nil 0 30 Grab 11" } },
        { "box", { "int event nil 0 30 Grab 11" } },
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Frees);
        TOwnedPtr<TXEngineBox> Walked(New<TXEngineBox>(nullptr));
        Walked->OnIntCommand = SinkIntCommand(Sink.get());
        auto* First = NewGear("Grab");
        First->HotKey = 5;
        First->Answer = 11;
        auto* Second = NewGear("Also");
        Second->HotKey = 5;
        Second->Answer = 22;
        Walked->Gears()->Add(First);
        Walked->Gears()->Add(Second);
        const std::string Frees = Case.Frees;
        Sink->Then = [&](const String& HitName) {
            if (HitName != u"Grab")
                return;
            if (Frees == "self")
                First->Free();
            else if (Frees == "next")
                Second->Free();
            else
                Walked.reset();
        };
        Log.clear();
        SendMessage(Walked->Window(), WM_HOTKEY, 5, 0);
        Sink->Then = nullptr;
        EXPECT_EQ(Log, Case.Events);
    }
}

TEST_F(Gears, BoxUpdatesCountAndNeverGoBelowZero)
{
    class TCountingBox : public TXGearBox {
    public:
        Integer Begins = 0, Ends = 0;

    protected:
        void BeginUpdating() override { ++Begins; }
        void EndUpdating() override { ++Ends; }
    };
    TOwnedPtr<TCountingBox> Box(New<TCountingBox>(nullptr));
    Box->EndUpdate();
    Box->BeginUpdate();
    Box->BeginUpdate();
    Box->EndUpdate();
    EXPECT_EQ(Box->Ends, 0);
    Box->EndUpdate();
    Box->EndUpdate();
    EXPECT_EQ(Box->Begins, 1);
    EXPECT_EQ(Box->Ends, 1);
    EXPECT_EQ(Box->UpdateCount(), 0);
}

TEST_F(Gears, TheEventNotifierCallsTheEntriesOfAnEventInOrder)
{
    struct TListener : TObject {
        TCalls* Log = nullptr;
        TXEventNotifier* Notifier = nullptr;
        std::string Name;
        TXNotifyMethod Drop;
        void Changed(TObject* Sender)
        {
            Log->push_back(Name);
            if (Drop)
                Notifier->RemoveHandler(Drop);
        }
    };
    TOwnedPtr<TXEventNotifier> Notifier(New<TXEventNotifier>(nullptr));
    TListener A, B, C;
    for (auto* L : { &A, &B, &C }) {
        L->Log = &Log;
        L->Notifier = Notifier.get();
    }
    A.Name = "a";
    B.Name = "b";
    C.Name = "c";
    const auto MethodOf = [](TListener* L) { return TXNotifyMethod::Of<&TListener::Changed>(L); };
    Notifier->AddHandler(0, MethodOf(&A));
    TXEventObject* Entry = Notifier->AddHandler(1, MethodOf(&B));
    EXPECT_EQ(Entry->EventID, 1);
    Notifier->AddHandler(0, MethodOf(&C));
    Notifier->Notify(nullptr, 0);
    EXPECT_EQ(Log, (TCalls { "a", "c" }));

    // A removes C during the round: C is not called; then A removes itself.
    Log.clear();
    A.Drop = MethodOf(&C);
    Notifier->Notify(nullptr, 0);
    EXPECT_EQ(Log, TCalls { "a" });
    EXPECT_EQ(Notifier->Count(), 2);
    A.Drop = MethodOf(&A);
    Notifier->Notify(nullptr, 0);
    Notifier->Notify(nullptr, 1);
    EXPECT_EQ(Log, (TCalls { "a", "a", "b" }));
    EXPECT_EQ(Notifier->Count(), 1);
}
