#include "XCore.Intervals.h"
#include "Units.h"

X_REGISTER_CLASS(TXBlockComparer)

Integer TXBlockComparer::Compare(const TXBlock& Left, const TXBlock& Right)
{
    if (Left.Start != Right.Start)
        return Left.Start < Right.Start ? -1 : 1;
    if (Left.Length != Right.Length)
        return Left.Length < Right.Length ? -1 : 1;
    return 0;
}

namespace {
IPtr<IComparer<TXBlock>> GBlockComparer;

void InitIntervals()
{
    GBlockComparer = IPtr<IComparer<TXBlock>>(New<TXBlockComparer>());
}

void DoneIntervals()
{
    GBlockComparer = nullptr;
}
}

IPtr<IComparer<TXBlock>> BlockComparer()
{
    return GBlockComparer;
}

X_UNIT(XCore_Intervals, "XCore.Intervals", {}, &InitIntervals, &DoneIntervals)
