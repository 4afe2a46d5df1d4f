// Main of every test program: units are initialised before the first test
// and finalised after the last, as in a real program. A test of what
// initialising units does runs alone in a process of its own where none
// was initialised (Testing::RunThisTestWithoutUnits).
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv(Testing::NoUnitsVariable))
        InitializeUnits();
    int Result = RUN_ALL_TESTS();
    FinalizeUnits();
    return Result;
}
