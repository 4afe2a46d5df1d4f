#include "core/XCore.Registry.h"

X_REGISTER_CLASS(TXRegistry)

Integer TXRegistry::ReadIntegerDef(StringView Name, Integer Default)
{
    try {
        if (ValueExists(Name))
            return ReadInteger(Name);
    } catch (const Exception&) { }
    return Default;
}

String TXRegistry::ReadStringDef(StringView Name, const String& Default)
{
    try {
        if (ValueExists(Name))
            return ReadString(Name);
    } catch (const Exception&) { }
    return Default;
}
