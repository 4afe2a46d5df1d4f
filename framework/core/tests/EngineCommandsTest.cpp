// Commands and the recovery program's action aspects: the cancel request
// with its veto, the fixed action codes, and plain commands run by gears.
#include "core/XCore.Engine.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

// Every notification an observable delivers, in order, by aspect class;
// optionally refuses cancel requests.
struct TLog : TObject {
    std::vector<TClass> Seen;
    bool Refuse = false;
    void On(IXNotification* N)
    {
        Seen.push_back(N->GetAspect()->ClassType());
        if (auto* Request = DynamicCast<TXRequestActionCancelAspect>(N->GetAspect()); Request && Refuse)
            Request->SetHandled();
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TLog::On>(this); }
};

// A command whose Execute is seen and whose answer is chosen.
class TProbeCommand : public TXCommand {
    X_CLASS(TProbeCommand, TXCommand)
public:
    static inline int Freed = 0;
    bool Allowed = true;
    int Runs = 0;
    ~TProbeCommand() override { ++Freed; }
    bool CanExecute() override { return Allowed; }
    void Execute() override { ++Runs; }
};

}

X_REGISTER_CLASS(TProbeCommand)

TEST(EngineCommands, CancelRequestIsRefusedByAnySubscriberOrFollowedByOneCancel)
{
    for (bool Refuse : { true, false }) {
        SCOPED_TRACE(Refuse);
        TOwnedPtr<TXObservable> Window(New<TXObservable>());
        TLog First, Second;
        Second.Refuse = Refuse;
        Window->SubscribeAll(First.Handler());
        Window->SubscribeAll(Second.Handler());
        EXPECT_EQ(RequestCancel(Window.get()), !Refuse);
        std::vector<TClass> Expected { TXRequestActionCancelAspect::StaticClass() };
        if (!Refuse)
            Expected.push_back(TXActionCancelAspect::StaticClass());
        // Every subscriber sees the whole request before the action.
        EXPECT_EQ(First.Seen, Expected);
        EXPECT_EQ(Second.Seen, Expected);
    }
}

TEST(EngineCommands, ActionAspectsCarryTheirFixedCodes)
{
    struct {
        TXActionAspect* Aspect;
        Integer Code;
        Integer Param;
    } Cases[] = {
        { New<TXActionCancelAspect>(7), -30, 7 },
        { New<TXActionAboutAspect>(), -200, 0 },
        { New<TXActionHelpAspect>(), -100, 0 },
        { New<TXActionPreviousAspect>(), -31, 0 },
        { New<TXActionNextAspect>(), -32, 0 },
    };
    for (auto& C : Cases) {
        TOwnedPtr<TXActionAspect> Owned(C.Aspect);
        SCOPED_TRACE(C.Code);
        EXPECT_EQ(C.Aspect->ActionID, C.Code);
        EXPECT_EQ(C.Aspect->Param, C.Param);
    }
    TOwnedPtr<TXRequestActionCancelAspect> Request(New<TXRequestActionCancelAspect>(3));
    EXPECT_EQ(Request->Action, -30);
    EXPECT_EQ(Request->Param, 3);
    EXPECT_FALSE(Request->Handled);
    TOwnedPtr<TXTimeElapsedTicks> Ticks(New<TXTimeElapsedTicks>(3001));
    EXPECT_EQ(Ticks->Ticks, 3001);
    EXPECT_TRUE(Ticks->Is<TXTimeAspect>());
    TOwnedPtr<TXOperationThreadTerminatedAspect> Ended(
        New<TXOperationThreadTerminatedAspect>(u"DeepScan", TXErrorData::Create(11, 5, u"/dev/sdz")));
    EXPECT_EQ(Ended->Name, u"DeepScan");
    EXPECT_EQ(Ended->ErrorData.Code, 11);
    // Not an operation-terminated notice: subscribers of that one are not
    // told twice.
    EXPECT_FALSE(Ended->Is<TXOperationTerminatedAspect>());
}

TEST(EngineCommands, APlainCommandCanRunAnswersZeroAndIsFreedWithItsLastReference)
{
    TProbeCommand::Freed = 0;
    {
        IPtr<IXCommand> Plain(New<TXCommand>());
        EXPECT_TRUE(Plain->CanExecute());
        EXPECT_EQ(Plain->GetResult(), 0);
        Plain->Execute();
        Plain->Reserved();
    }
    TOwnedPtr<XCore::Engine::TXEngine> Engine(New<XCore::Engine::TXEngine>());
    TOwnedPtr<XCore::Engine::TXGear> Gear(
        New<XCore::Engine::TXGear>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get())), u"gear"));
    auto* Refused = New<TProbeCommand>();
    Refused->Allowed = false;
    auto* Run = New<TProbeCommand>();
    {
        IPtr<IXCommand> A(Refused), B(Run);
        Gear->SendGearMessage(A.Get());
        Gear->SendGearMessage(B.Get());
        EXPECT_EQ(Refused->Runs, 0);
        EXPECT_EQ(Run->Runs, 1);
    }
    EXPECT_EQ(TProbeCommand::Freed, 2);
}
