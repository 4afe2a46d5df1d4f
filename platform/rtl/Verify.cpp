#include "rtl/Verify.h"
#include <cstdio>
#include <cstdlib>

void XVerifyFailed(const char* Condition, const char* Message, const char* File, int Line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", File, Line, Message, Condition);
    std::fflush(stderr);
    std::abort();
}
