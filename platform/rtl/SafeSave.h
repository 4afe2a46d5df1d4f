// Replacing a file's whole content without ever losing the old one.
//
// The data goes into a new temporary file beside the target, is flushed to
// disk, and then takes the target's name with one rename(2): a reader sees
// either the old file or the new one, and a failure leaves the old file as
// it was. The target is never deleted or truncated first.
#pragma once
#include "rtl/Types.h"
#include <string_view>

// Raises EFCreateError (ErrorCode = errno) when the file cannot be written.
void SaveBytesToFileSafely(const String& FileName, std::string_view Data);
