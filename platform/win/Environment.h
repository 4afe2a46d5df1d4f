// Environment variables in the Windows notation of stored texts.
#pragma once
#include "rtl/Types.h"

// Every "%NAME%" whose variable is set becomes its value; any other "%"
// stays. Expanded holds the result; False (Expanded empty) when it would
// be longer than MaxLength characters.
bool ExpandEnvironmentStrings(StringView Text, String& Expanded, size_t MaxLength = 32767);
