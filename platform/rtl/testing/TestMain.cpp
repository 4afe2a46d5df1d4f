// Main of every test program: units are initialised before the first test
// and finalised after the last, as in a real program. The program gets a
// home of its own, so nothing a test starts up (the user's folders, the
// registry file) lands in the real one, and windows stay off any display.
#include "rtl/testing/Testing.h"
#include "rtl/Units.h"
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Testing::TTempFolder Home("quorvale-home");
    Testing::TScopedEnv HomeVar("HOME", Home.Path().string());
    Testing::TScopedEnv Config("XDG_CONFIG_HOME", std::nullopt);
    Testing::TScopedEnv Data("XDG_DATA_HOME", std::nullopt);
    // Tests put windows on a display only when they start one themselves.
    Testing::TScopedEnv Presenter("X_PRESENTER", "headless");
    InitializeUnits();
    int Result = RUN_ALL_TESTS();
    FinalizeUnits();
    return Result;
}
