// The framework's registry object: the platform registry with reads that
// fall back to a default instead of raising.
#pragma once
#include "win/Registry.h"

class TXRegistry : public TRegistry {
    X_CLASS(TXRegistry, TRegistry)
public:
    // The value Name of the open key when it exists and reads as an
    // integer (a text value gives Default).
    Integer ReadIntegerDef(StringView Name, Integer Default);
    // The value Name of the open key when it exists and reads as text.
    String ReadStringDef(StringView Name, const String& Default);
};
