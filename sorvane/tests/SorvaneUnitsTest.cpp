#include "sorvane/Sorvane.Units.h"
#include "core/XCore.App.h"
#include "core/XCode.Trek.h"
#include "core/XCore.Clock.h"
#include "core/XCore.Intervals.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include <algorithm>
#include <gtest/gtest.h>

namespace {
std::vector<std::string> Sorted(std::vector<std::string> Names)
{
    std::sort(Names.begin(), Names.end());
    return Names;
}
}

TEST(SorvaneUnits, InitialisingTheProgramsListRunsExactlyItsUnitsAndNotTheClock)
{
    if (UnitsInitialized()) {
        // A test program initialises every unit, the clock too.
        EXPECT_NE(QVClock(), nullptr);
        const Testing::TToolResult Child = Testing::RunThisTestWithoutUnits();
        EXPECT_EQ(Child.ExitCode, 0) << Child.Output;
        return;
    }
    InitializeUnits(SorvaneUnits());
    // The units the listed ones use bring in nothing the list leaves out.
    EXPECT_EQ(Sorted(InitializedUnits()), Sorted(SorvaneUnits()));
    EXPECT_LT(InitializedUnits().size(), UnitOrder().size());
    EXPECT_EQ(QVClock(), nullptr);
    EXPECT_EQ(QVTimers(), nullptr);
    // What the program's own code relies on is there.
    EXPECT_NE(GetAppEngine(), nullptr);
    EXPECT_NE(BlockComparer().Get(), nullptr);
    EXPECT_NE(CodeTrek(), nullptr);
    FinalizeUnits();
    EXPECT_TRUE(InitializedUnits().empty());
}
