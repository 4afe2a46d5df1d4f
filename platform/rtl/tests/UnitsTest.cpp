#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace {

using TNames = std::vector<std::string>;

// Units of this test alone; each records its initialisation and
// finalisation. "Test.Units.Absent" is used but never registered.
TNames& Log()
{
    static TNames Entries;
    return Entries;
}

#define TEST_UNIT(Ident, Uses)                                                                                         \
    void Init##Ident()                                                                                                 \
    {                                                                                                                  \
        Log().push_back("+" #Ident);                                                                                   \
    }                                                                                                                  \
    void Done##Ident()                                                                                                 \
    {                                                                                                                  \
        Log().push_back("-" #Ident);                                                                                   \
    }                                                                                                                  \
    X_UNIT(Test_Units_##Ident, "Test.Units." #Ident, Uses, &Init##Ident, &Done##Ident)

TEST_UNIT(After, ({ "Test.Units.Zed" }))
TEST_UNIT(Alone, {})
TEST_UNIT(Base, {})
TEST_UNIT(Mid, ({ "Test.Units.Base" }))
TEST_UNIT(Top, ({ "Test.Units.Mid", "Test.Units.Absent" }))
TEST_UNIT(Zed, {})

// The entries of this test's units, in the order they were logged.
TNames Logged(char Kind)
{
    TNames Out;
    for (const std::string& Entry : Log())
        if (Entry[0] == Kind)
            Out.push_back(Entry.substr(1));
    return Out;
}

// UnitOrder's answer with the prefix of this test's units taken off; other
// units are kept whole.
TNames Short(const TNames& Names)
{
    TNames Out;
    for (const std::string& Name : Names)
        Out.push_back(Name.rfind("Test.Units.", 0) == 0 ? Name.substr(11) : Name);
    return Out;
}

}

TEST(Units, RootsBringWhatTheyUseInTheOrderOfAllUnits)
{
    const struct {
        TNames Roots;
        TNames Expected;
    } Cases[] = {
        { { "Test.Units.Top" }, { "Base", "Mid", "Top" } },
        { { "Test.Units.Mid", "Test.Units.Top", "Test.Units.Mid" }, { "Base", "Mid", "Top" } },
        // Zed runs first because After, first by name, uses it; a program
        // keeps the order every test program runs its units in.
        { { "Test.Units.Alone", "Test.Units.Zed" }, { "Zed", "Alone" } },
        { { "Test.Units.After" }, { "Zed", "After" } },
        { {}, {} },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Short(UnitOrder(C.Roots)), C.Expected) << ::testing::PrintToString(C.Roots);

    TNames All = Short(UnitOrder());
    std::erase_if(All, [](const std::string& Name) { return Name.find('.') != std::string::npos; });
    EXPECT_EQ(All, (TNames { "Zed", "After", "Alone", "Base", "Mid", "Top" }));
}

TEST(Units, ARootThatIsNotLinkedInIsAProgrammingError)
{
    EXPECT_DEATH(UnitOrder({ "Test.Units.Mid", "Test.Units.Absent" }), "not linked in");
}

TEST(Units, AProgramInitialisesOnlyItsUnitsAndFinalisesThemInReverse)
{
    if (UnitsInitialized()) {
        // This test program initialised every unit before its tests.
        EXPECT_EQ(Logged('+'), (TNames { "Zed", "After", "Alone", "Base", "Mid", "Top" }));
        const Testing::TToolResult Child = Testing::RunThisTestWithoutUnits();
        EXPECT_EQ(Child.ExitCode, 0) << Child.Output;
        return;
    }
    EXPECT_TRUE(InitializedUnits().empty());
    InitializeUnits({ "Test.Units.Top" });
    EXPECT_TRUE(UnitsInitialized());
    EXPECT_EQ(Logged('+'), (TNames { "Base", "Mid", "Top" }));
    EXPECT_EQ(Short(InitializedUnits()), (TNames { "Base", "Mid", "Top" })); // and no other unit
    InitializeUnits(); // once per run
    InitializeUnits({ "Test.Units.Alone" });
    EXPECT_EQ(Logged('+').size(), 3u);
    FinalizeUnits();
    EXPECT_EQ(Logged('-'), (TNames { "Top", "Mid", "Base" }));
    EXPECT_TRUE(InitializedUnits().empty());
    EXPECT_FALSE(UnitsInitialized());
}
