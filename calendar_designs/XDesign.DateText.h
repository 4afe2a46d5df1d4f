// Dates as the calendar items show them: the locale's date patterns (d, dd,
// ddd, dddd, M, MM, MMM, MMMM, yy, yyyy, quoted text) with its names.
#pragma once
#include "core/XCore.Locale.h"
#include "rtl/DateTime.h"

String FormatDesignDate(const String& Format, TDateTime Date, const TXFormatSettings& Settings);
