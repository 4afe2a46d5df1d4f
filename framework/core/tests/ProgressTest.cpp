#include "win/Time.h"
#include "win/WinApi.h"
#include "core/XCore.Engine.Progress.h"
#include <gtest/gtest.h>
#include <vector>

using XCore::Engine::TXEngine;

namespace {

class TDisplay : public TObject {
public:
    std::vector<Integer> Positions;
    std::vector<String> Sections;
    std::vector<Integer> Styles;
    void On(IXNotification* N)
    {
        TXCustomAspect* A = N->GetAspect();
        if (auto* P = DynamicCast<TXProgressChangedAspect>(A))
            Positions.push_back(P->Position);
        else if (auto* S = DynamicCast<TXProgressSectionChangedAspect>(A))
            Sections.push_back(S->Section);
        else if (auto* St = DynamicCast<TXProgressStyleChangedAspect>(A))
            Styles.push_back(St->Style);
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TDisplay::On>(this); }
};

// A gear without a host: its notifications arrive at once.
class Progress : public testing::Test {
protected:
    void SetUp() override
    {
        Gear.reset(New<TXProgressGear>(IPtr<IInterface>(), String(u"progress")));
        Gear->Subscribe(TXProgressAspect::StaticClass(), Display.Handler());
        Manager = Gear->Manager();
    }
    TDisplay Display;
    TOwnedPtr<TXProgressGear> Gear;
    TXProgressManager* Manager = nullptr;
};

}

TEST_F(Progress, UnitStepsOfTheRootReachTheirShareEach)
{
    TXProgress* Root = Manager->Start(u"copy");
    Root->SetMax(4);
    for (int I = 0; I < 4; ++I)
        Root->BeginStep()->Finish();
    EXPECT_EQ(Display.Positions, (std::vector<Integer> { 250, 500, 750, 1000 }));
    EXPECT_EQ(Manager->Current(), Root);
}

TEST_F(Progress, PartsCoverTheirPercentFromTheCurrentPosition)
{
    struct TCase {
        Byte First, Second;
        Integer AfterFirst;
        Cardinal SecondOffset, SecondSpan;
        Byte Between = 0; // a part finished between the two, when not 0
    };
    const TCase Cases[] = {
        { 50, 50, 500, 500, 500 },
        { 178, 50, 500, 500, 500 }, // only the low seven bits count
        { 35, 15, 350, 350, 150 },
        { 0, 100, 0, 0, 1000 },
        // A part that starts where the one before it ended, not at 0.
        { 35, 50, 350, 500, 500, 15 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(int(C.First));
        Display.Positions.clear();
        Manager->SetPosition(0);
        TXProgress* Root = Manager->Start(u"scan");
        Root->BeginPart(C.First)->Finish();
        EXPECT_EQ(Manager->GetPosition(), C.AfterFirst);
        if (C.Between) {
            Root->BeginPart(C.Between)->Finish();
            EXPECT_EQ(Manager->GetPosition(), C.AfterFirst + 10 * C.Between);
        }
        TXProgress* Second = Root->BeginPart(C.Second);
        EXPECT_EQ(Second->Offset(), C.SecondOffset);
        EXPECT_EQ(Second->Span(), C.SecondSpan);
        EXPECT_EQ(Manager->Current(), Second);
    }
}

TEST_F(Progress, NestedWeightedStepsOnlyMoveForward)
{
    TXProgress* Root = Manager->Start(u"deep scan");
    TXProgress* Tree = Root->BeginPart(35);
    Tree->SetMax(3);
    for (int I = 0; I < 3; ++I) {
        TXProgress* Dir = Tree->BeginStep();
        Dir->SetMax(7);
        for (int J = 0; J < 7; ++J)
            Dir->StepIt();
    }
    TXProgress* Lost = Root->BeginPart(15);
    Lost->SetPercent(40);
    // Advancing the parent past its open child: the child's late report
    // must not move the display back.
    Root->SetPercent(60);
    Lost->SetPercent(80);
    TXProgress* Signatures = Root->BeginPart(50);
    Signatures->SetMax(512);
    for (int I = 0; I < 512; I += 64)
        Signatures->SetPosition(Cardinal(I));
    Root->Finish();

    ASSERT_FALSE(Display.Positions.empty());
    for (size_t I = 1; I < Display.Positions.size(); ++I)
        EXPECT_LT(Display.Positions[I - 1], Display.Positions[I]) << "at " << I;
    EXPECT_EQ(Display.Positions.back(), 1000);
    EXPECT_EQ(Manager->Current(), nullptr);
}

TEST_F(Progress, TheOverallPositionStaysOnTheScale)
{
    TXProgress* Root = Manager->Start(u"wide");
    TXProgress* Wide = Root->BeginPart(127); // covers 1270 thousandths
    Wide->SetPercent(90);
    Wide->Finish();
    for (Integer P : Display.Positions) {
        EXPECT_GE(P, 0);
        EXPECT_LE(P, 1000);
    }
    EXPECT_EQ(Manager->GetPosition(), 1000);
}

TEST_F(Progress, ASmallerReportIsIgnoredAndZeroResets)
{
    Manager->Start(u"x");
    Manager->SetPosition(600);
    Manager->SetPosition(400);
    Manager->SetPosition(600);
    Manager->SetPosition(0);
    Manager->SetPosition(100);
    EXPECT_EQ(Display.Positions, (std::vector<Integer> { 600, 0, 100 }));
}

TEST_F(Progress, StepsClampTheirPositionAndIgnoreAZeroMaximum)
{
    TXProgress* Root = Manager->Start(u"x");
    Root->SetMax(10);
    Root->SetPosition(25);
    EXPECT_EQ(Root->Position(), 10u);
    Root->SetMax(0);
    EXPECT_EQ(Root->Max(), 10u);
    Root->SetMax(4);
    EXPECT_EQ(Root->Position(), 4u);
}

TEST_F(Progress, StartAnnouncesSectionAndStyleEvenForTheSameSection)
{
    Manager->SetStyle(xpsMarquee);
    Manager->Start(u"download");
    Manager->Start(u"download");
    Manager->SetSection(u"download");
    EXPECT_EQ(Display.Sections, (std::vector<String> { u"download", u"download" }));
    EXPECT_EQ(Display.Styles, (std::vector<Integer> { 1, 1, 1 }));
    EXPECT_TRUE(Manager->Running());

    Manager->Terminate(TXErrorData::Create(0, 0, {}));
    EXPECT_FALSE(Manager->Running());
}

TEST(ProgressGear, NotificationsTravelThroughTheHostEngine)
{
    TManualClock Clock;
    TOwnedPtr<TXEngine> Engine(New<TXEngine>(u"app"));
    TOwnedPtr<TXProgressGear> Gear(
        New<TXProgressGear>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get())), String(u"progress")));
    TDisplay Display;
    Gear->Subscribe(TXProgressChangedAspect::StaticClass(), Display.Handler());

    Gear->Manager()->Start(u"x")->SetPercent(30);
    EXPECT_TRUE(Display.Positions.empty());
    MSG Msg;
    while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&Msg);
    EXPECT_EQ(Display.Positions, std::vector<Integer> { 300 });
    Gear.reset();
}
