#include "XCore.Collections.Lite.h"
#include <string>

namespace XDetail {
String FormatListError(StringView Msg, Integer Data)
{
    String Result(Msg);
    auto Pos = Result.find(u"%d");
    if (Pos != String::npos)
        Result.replace(Pos, 2, S(std::to_string(Data)));
    return Result;
}
}
