// The second process of the single-instance tests: the window layer's
// helper program, run with an argument vector.
#pragma once
#include "rtl/testing/Testing.h"
#include <string>
#include <vector>

namespace CoreTests {

// The helper's exit code (see platform/win/tests/helper/InstanceHelper.cpp).
inline int RunInstanceHelper(const std::vector<std::string>& Args)
{
    std::vector<std::string> Argv { INSTANCE_HELPER };
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    return Testing::RunTool(Argv).ExitCode;
}

}
