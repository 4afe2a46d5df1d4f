// Main of every test program: units are initialised before the first test
// and finalised after the last, as in a real program.
#include "rtl/Units.h"
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    InitializeUnits();
    int Result = RUN_ALL_TESTS();
    FinalizeUnits();
    return Result;
}
