// Dates as the calendar items show them: the locale's date patterns (d, dd,
// ddd, dddd, M, MM, MMM, MMMM, yy, yyyy, quoted text) with its names.
#pragma once
#include "core/XCore.Locale.h"
#include "rtl/DateTime.h"

String FormatDesignDate(const String& Format, TDateTime Date, const TXFormatSettings& Settings);

// A day as the areas' arguments name it: yyyymmdd.
String DesignDateArgs(Integer Year, Integer Month, Integer Day);

// The month an item's Month and Year codes name against the "Date"
// default's month and year.
void ResolveItemMonth(Integer MonthCode, Integer YearCode, Integer Month, Integer Year, Integer& DisplayYear,
    Integer& DisplayMonth);
