// The built-in locale table: the languages the programs carry or name, with
// the names and regional formats the system's locale data gives for them.
// Formats are in the class library's notation (AMPM, hh for 24 hours).
#include "rtl/StrUtils.h"
#include "core/XCore.Locale.h"
#include <vector>

namespace {

using XDetail::TXLocaleData;

struct TFormats {
    Byte CurrencyFormat;
    Byte NegCurrFormat;
    Char ThousandSeparator;
    Char DecimalSeparator;
    Byte CurrencyDecimals;
    Char DateSeparator;
    Char TimeSeparator;
    Char ListSeparator;
    const char* CurrencyString;
    const char* ShortDateFormat;
    const char* LongDateFormat;
    const char* TimeAMString;
    const char* TimePMString;
    const char* ShortTimeFormat;
    const char* LongTimeFormat;
};

struct TNames {
    std::array<const char*, 12> ShortMonths;
    std::array<const char*, 12> LongMonths;
    std::array<const char*, 7> ShortDays; // from Sunday
    std::array<const char*, 7> LongDays;
};

const TNames English {
    { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" },
    { "January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
        "December" },
    { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" },
    { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" },
};

const TNames German {
    { "Jan", "Feb", "Mrz", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez" },
    { "Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober", "November",
        "Dezember" },
    { "So", "Mo", "Di", "Mi", "Do", "Fr", "Sa" },
    { "Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag" },
};

const TNames French {
    { "janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc." },
    { "janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre", "octobre", "novembre",
        "décembre" },
    { "dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam." },
    { "dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi" },
};

const TNames Japanese {
    { "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12" },
    { "1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月" },
    { "日", "月", "火", "水", "木", "金", "土" },
    { "日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日" },
};

TFormatSettings MakeFormats(const TFormats& F, const TNames& N)
{
    TFormatSettings Result;
    Result.CurrencyFormat = F.CurrencyFormat;
    Result.NegCurrFormat = F.NegCurrFormat;
    Result.ThousandSeparator = F.ThousandSeparator;
    Result.DecimalSeparator = F.DecimalSeparator;
    Result.CurrencyDecimals = F.CurrencyDecimals;
    Result.DateSeparator = F.DateSeparator;
    Result.TimeSeparator = F.TimeSeparator;
    Result.ListSeparator = F.ListSeparator;
    Result.CurrencyString = S(F.CurrencyString);
    Result.ShortDateFormat = S(F.ShortDateFormat);
    Result.LongDateFormat = S(F.LongDateFormat);
    Result.TimeAMString = S(F.TimeAMString);
    Result.TimePMString = S(F.TimePMString);
    Result.ShortTimeFormat = S(F.ShortTimeFormat);
    Result.LongTimeFormat = S(F.LongTimeFormat);
    for (size_t I = 0; I < 12; ++I) {
        Result.ShortMonthNames[I] = S(N.ShortMonths[I]);
        Result.LongMonthNames[I] = S(N.LongMonths[I]);
    }
    for (size_t I = 0; I < 7; ++I) {
        Result.ShortDayNames[I] = S(N.ShortDays[I]);
        Result.LongDayNames[I] = S(N.LongDays[I]);
    }
    return Result;
}

const std::vector<TXLocaleData>& Table()
{
    static const std::vector<TXLocaleData> Data {
        { 0x0409, "en_US", "en", "US", "English", "English", 6,
            MakeFormats({ 0, 0, u',', u'.', 2, u'/', u':', u',', "$", "M/d/yyyy", "dddd, MMMM d, yyyy", "AM", "PM",
                            "h:mm AMPM", "h:mm:ss AMPM" },
                English) },
        { 0x0809, "en_GB", "en", "GB", "English", "English", 0,
            MakeFormats({ 0, 1, u',', u'.', 2, u'/', u':', u',', "£", "dd/MM/yyyy", "dd MMMM yyyy", "am", "pm", "hh:mm",
                            "hh:mm:ss" },
                English) },
        { 0x0407, "de_DE", "de", "DE", "German", "Deutsch", 0,
            MakeFormats({ 3, 8, u'.', u',', 2, u'.', u':', u';', "€", "dd.MM.yyyy", "dddd, d. MMMM yyyy", "", "",
                            "hh:mm", "hh:mm:ss" },
                German) },
        { 0x0807, "de_CH", "de", "CH", "German", "Deutsch", 0,
            MakeFormats({ 2, 2, u'\'', u'.', 2, u'.', u':', u';', "CHF", "dd.MM.yyyy", "dddd, d. MMMM yyyy", "", "",
                            "hh:mm", "hh:mm:ss" },
                German) },
        { 0x040C, "fr_FR", "fr", "FR", "French", "français", 0,
            MakeFormats({ 3, 8, u'\u00A0', u',', 2, u'/', u':', u';', "€", "dd/MM/yyyy", "dddd d MMMM yyyy", "", "",
                            "hh:mm", "hh:mm:ss" },
                French) },
        { 0x0411, "ja_JP", "ja", "JP", "Japanese", "日本語", 6,
            MakeFormats({ 0, 1, u',', u'.', 0, u'/', u':', u',', "¥", "yyyy/MM/dd", "yyyy'年'M'月'd'日'", "午前",
                            "午後", "h:mm", "h:mm:ss" },
                Japanese) },
    };
    return Data;
}

// The locale a bare language answers for.
constexpr Word DefaultLocaleOf(Cardinal Primary)
{
    switch (Primary) {
    case 0x09: return 0x0409;
    case 0x07: return 0x0407;
    case 0x0C: return 0x040C;
    case 0x11: return 0x0411;
    default: return 0;
    }
}

}

const XDetail::TXLocaleData* XDetail::FindLocaleData(Cardinal Id)
{
    if (Id > 0 && Id <= 0xFF)
        Id = DefaultLocaleOf(Id);
    if (Id == 0)
        return nullptr;
    for (const TXLocaleData& L : Table())
        if (L.LangID == Id)
            return &L;
    return nullptr;
}

const XDetail::TXLocaleData* XDetail::FindLocaleData(StringView Language, StringView Territory)
{
    const TXLocaleData* LanguageDefault = nullptr;
    for (const TXLocaleData& L : Table()) {
        if (!SameText(S(L.ISO639), Language))
            continue;
        if (!Territory.empty() && SameText(S(L.ISO3166), Territory))
            return &L;
        if (!LanguageDefault)
            LanguageDefault = FindLocaleData(L.LangID & 0xFF);
    }
    return LanguageDefault;
}
