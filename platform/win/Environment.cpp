#include "win/Environment.h"
#include <cstdlib>

bool ExpandEnvironmentStrings(StringView Text, String& Expanded, size_t MaxLength)
{
    Expanded.clear();
    size_t I = 0;
    while (I < Text.size()) {
        const size_t Open = Text.find(u'%', I);
        if (Open == StringView::npos) {
            Expanded.append(Text.substr(I));
            break;
        }
        Expanded.append(Text.substr(I, Open - I));
        const size_t Close = Text.find(u'%', Open + 1);
        if (Close == StringView::npos) {
            Expanded.append(Text.substr(Open));
            break;
        }
        const StringView Name = Text.substr(Open + 1, Close - Open - 1);
        const char* Value = Name.empty() ? nullptr : std::getenv(StringToUTF8(Name).c_str());
        if (Value) {
            Expanded += UTF8ToString(Value);
            I = Close + 1;
        } else {
            // Not a variable: the "%" stays and the next one may open one.
            Expanded += u'%';
            I = Open + 1;
        }
        if (Expanded.size() > MaxLength)
            break;
    }
    if (Expanded.size() > MaxLength) {
        Expanded.clear();
        return false;
    }
    return true;
}
