// Class lookup and construction by class, for rebuilding objects from their
// stored class names.
#pragma once
#include "rtl/Object.h"

// The class registered under Name; null when the lookup fails for any reason.
TClass FindClassSafe(StringView Name);
// An instance of Class made by the constructor that fits it: a collection
// item without a collection, a component without an owner, anything else
// parameterless. Null for a null or abstract class and when construction
// raises.
TObject* CreateInstanceOf(TClass Class);
