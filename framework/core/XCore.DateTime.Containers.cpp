#include "core/XCore.DateTime.Containers.h"
#include <algorithm>

X_REGISTER_CLASS(TXDatesList)

void TXDatesList::KeepRange(Integer From, Integer To)
{
    if (Count() == 0)
        return;
    Sort();
    Integer First = 0;
    while (First < Count() && Items(First) < From)
        ++First;
    Integer Last = Count() - 1;
    while (Last >= First && Items(Last) > To)
        --Last;
    if (Last + 1 < Count())
        DeleteRange(Last + 1, Count() - Last - 1);
    if (First > 0)
        DeleteRange(0, std::min(First, Count()));
}
