#include "calendar_designs/XDesign.DateText.h"
#include "core/XCore.Strings.h"

String FormatDesignDate(const String& Format, TDateTime Date, const TXFormatSettings& Settings)
{
    Word Y = 0, M = 0, D = 0;
    DecodeDate(Date, Y, M, D);
    const size_t Weekday = size_t(DayOfTheWeek(Date) - 1); // the names start at Monday
    String Out;
    for (size_t I = 0; I < Format.size();) {
        const Char Ch = Format[I];
        if (Ch == u'\'' || Ch == u'"') {
            const size_t End = Format.find(Ch, I + 1);
            Out += Format.substr(I + 1, (End == String::npos ? Format.size() : End) - I - 1);
            I = End == String::npos ? Format.size() : End + 1;
            continue;
        }
        size_t Run = 1;
        while (I + Run < Format.size() && Format[I + Run] == Ch)
            ++Run;
        const Char Lower = Ch | 0x20;
        if (Lower == u'd')
            Out += Run == 1 ? IntToStr(D)
                : Run == 2  ? xStr::ZeroPadInt(D, 2)
                : Run == 3  ? Settings.ShortDayNames[Weekday % 7]
                            : Settings.LongDayNames[Weekday % 7];
        else if (Lower == u'm')
            Out += Run == 1 ? IntToStr(M)
                : Run == 2  ? xStr::ZeroPadInt(M, 2)
                : Run == 3  ? Settings.ShortMonthNames[size_t(M - 1)]
                            : Settings.LongMonthNames[size_t(M - 1)];
        else if (Lower == u'y')
            Out += Run <= 2 ? xStr::ZeroPadInt(Y % 100, 2) : xStr::ZeroPadInt(Y, 4);
        else if (Ch == u'/')
            Out += String(Run, Settings.DateSeparator ? Settings.DateSeparator : u'/');
        else
            Out += Format.substr(I, Run);
        I += Run;
    }
    return Out;
}
