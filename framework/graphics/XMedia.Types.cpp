#include "graphics/XMedia.Types.h"
#include "rtl/StrUtils.h"
#include <algorithm>

String TXSize::ToString() const
{
    return IntToStr(Width) + u"x" + IntToStr(Height);
}

void CalcBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH)
{
    W = 0;
    H = 0;
    if (SrcW <= 0 || SrcH <= 0 || MaxW <= 0 || MaxH <= 0)
        return;
    // Compare MaxW / SrcW with MaxH / SrcH in 64 bits: no rounding decides
    // which side limits.
    if (Int64(MaxW) * SrcH <= Int64(MaxH) * SrcW) {
        W = MaxW;
        H = Integer(std::max<Int64>(1, (Int64(SrcH) * MaxW + SrcW / 2) / SrcW));
    } else {
        H = MaxH;
        W = Integer(std::max<Int64>(1, (Int64(SrcW) * MaxH + SrcH / 2) / SrcH));
    }
    W = std::min(W, MaxW);
    H = std::min(H, MaxH);
}

void CalcDownScaledBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH)
{
    if (SrcW > 0 && SrcH > 0 && SrcW <= MaxW && SrcH <= MaxH) {
        W = SrcW;
        H = SrcH;
        return;
    }
    CalcBestFitSize(W, H, SrcW, SrcH, MaxW, MaxH);
}
