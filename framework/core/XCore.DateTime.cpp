#include "core/XCore.DateTime.h"
#include "rtl/Format.h"
#include "rtl/StrUtils.h"
#include "core/XCore.App.h"
#include <cmath>
#include <vector>

namespace {

TDateTime DayOf(TDateTime Value)
{
    return std::trunc(Value);
}

std::vector<StringView> SplitAt(StringView Text, Char Delimiter)
{
    std::vector<StringView> Parts;
    size_t Start = 0;
    for (;;) {
        size_t At = Text.find(Delimiter, Start);
        Parts.push_back(Text.substr(Start, At == StringView::npos ? StringView::npos : At - Start));
        if (At == StringView::npos)
            return Parts;
        Start = At + 1;
    }
}

Integer NumberOrZero(StringView Text)
{
    return StrToIntDef(Text, 0);
}

// The parts are checked before they narrow to Word, so 65537 cannot pass
// as January.
bool TryDate(Integer Year, Integer Month, Integer Day, TDateTime& Value)
{
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > 31)
        return false;
    return TryEncodeDate(Word(Year), Word(Month), Word(Day), Value);
}

bool TryTime(Integer Hour, Integer Minute, Integer Second, Integer MSec, TDateTime& Value)
{
    if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || MSec < 0 || MSec > 999)
        return false;
    return TryEncodeTime(Word(Hour), Word(Minute), Word(Second), Word(MSec), Value);
}

String TwoDigits(Word Value)
{
    return Format(u"%.2d", { Integer(Value) });
}

TDateTime FirstOfMonth(TDateTime Date, Word& Year, Word& Month)
{
    Word Day;
    DecodeDate(Date, Year, Month, Day);
    return EncodeDate(Year, Month, 1);
}

bool ValidDate(TDateTime Date)
{
    return Date >= MinDateTime && Date <= MaxDateTime;
}

}

// ---- records ----

TXDateRec TXDateRec::Create(TDateTime DateTime)
{
    return { DayOf(DateTime) };
}

TXDateRec TXDateRec::FromText(StringView Text)
{
    return { TextToDate(Text) };
}

String TXDateRec::ToText() const
{
    return DateToText(Value);
}

Integer TXDateRec::Compare(const TXDateRec& Other) const
{
    const TDateTime A = DayOf(Value), B = DayOf(Other.Value);
    return A < B ? -1 : (A > B ? 1 : 0);
}

String TXDateRec::ToISOText() const
{
    Word Y, M, D;
    DecodeDate(Value, Y, M, D);
    return IntToStr(Integer(Y)) + u"-" + TwoDigits(M) + u"-" + TwoDigits(D);
}

void TXDateRangeRec::Clear()
{
    From.Value = 0;
    To.Value = 0;
}

bool TXDateRangeRec::Contains(TDateTime D) const
{
    const TDateTime Day = DayOf(D);
    return DayOf(From.Value) <= Day && Day <= DayOf(To.Value);
}

bool TXDateRangeRec::ContainsOpen(TDateTime D) const
{
    const bool HasFrom = From.Value != 0, HasTo = To.Value != 0;
    const TDateTime Day = DayOf(D);
    if (HasFrom && HasTo)
        return Contains(D);
    if (HasTo)
        return Day <= DayOf(To.Value);
    if (HasFrom)
        return DayOf(From.Value) <= Day;
    return true;
}

TDateTime TXDateTimeParts::ToDateTime() const
{
    return EncodeDate(Year, Month, Day) + EncodeTime(Hour, Minute, Second, MilliSecond);
}

// ---- texts ----

String DateToText(TDateTime DateTime)
{
    if (DateTime == 0)
        return {};
    Word Y, M, D;
    DecodeDate(DateTime, Y, M, D);
    return TwoDigits(D) + u"." + TwoDigits(M) + u"." + IntToStr(Integer(Y));
}

TDateTime TextToDate(StringView Text)
{
    if (Text.empty())
        return 0;
    auto Parts = SplitAt(Text, u'.');
    if (Parts.size() < 3)
        return 0;
    TDateTime Value;
    return TryDate(NumberOrZero(Parts[2]), NumberOrZero(Parts[1]), NumberOrZero(Parts[0]), Value) ? Value : 0;
}

TDateTime ISODateToDate(StringView Text)
{
    Integer Y, M, D;
    if (Text.find(u'-') != StringView::npos) {
        auto Parts = SplitAt(Text, u'-');
        if (Parts.size() < 3)
            return 0;
        Y = NumberOrZero(Parts[0]);
        M = NumberOrZero(Parts[1]);
        D = NumberOrZero(Parts[2]);
    } else {
        if (Text.size() < 5)
            return 0;
        const size_t L = Text.size();
        Y = NumberOrZero(Text.substr(0, L - 4));
        M = NumberOrZero(Text.substr(L - 4, 2));
        D = NumberOrZero(Text.substr(L - 2, 2));
    }
    TDateTime Value;
    return TryDate(Y, M, D, Value) ? Value : 0;
}

TDateTime ISOTimeToTime(StringView Text)
{
    for (Char Stop : { u'Z', u'+', u'-' })
        Text = Text.substr(0, Text.find(Stop));
    String Digits;
    for (Char C : Text)
        if (C != u':')
            Digits += C;
    auto Piece = [&](size_t At) { return At < Digits.size() ? NumberOrZero(StringView(Digits).substr(At, 2)) : 0; };
    TDateTime Value;
    return TryTime(Piece(0), Piece(2), Piece(4), 0, Value) ? Value : 0;
}

TDateTime ISOToDateTime(StringView Text)
{
    if (Text.empty())
        return 0;
    const size_t T = Text.find(u'T');
    const TDateTime Date = ISODateToDate(Text.substr(0, T));
    // A time alone would read as a moment of 30 December 1899.
    if (Date == 0)
        return 0;
    return T == StringView::npos ? Date : Date + ISOTimeToTime(Text.substr(T + 1));
}

TDateTime StrToDateAny(StringView Text)
{
    if (Text.find(u'.') != StringView::npos && Text.find(u'T') == StringView::npos)
        return TextToDate(Text);
    return DayOf(ISOToDateTime(Text));
}

// ---- encoders ----

TDateTime EncodeDateDef(Integer Year, Integer Month, Integer Day, TDateTime Default)
{
    TDateTime Value;
    return TryDate(Year, Month, Day, Value) ? Value : Default;
}

TDateTime EncodeDateOrToday(Integer Year, Integer Month, Integer Day)
{
    TDateTime Value;
    return TryDate(Year, Month, Day, Value) ? Value : AppDate();
}

TDateTime EncodeTimeDef(Integer Hour, Integer Minute, Integer Second, TDateTime Default, Integer MSec)
{
    TDateTime Value;
    return TryTime(Hour, Minute, Second, MSec, Value) ? Value : Default;
}

// ---- recurring days ----

TDateTime DateOfWeekday(Integer Weekday, TDateTime Date)
{
    if (Weekday < 1 || Weekday > 7 || !ValidDate(Date))
        return 0;
    const TDateTime Day = DayOf(Date);
    return Day - (DayOfTheWeek(Day) - 1) + (Weekday - 1);
}

TDateTime DateOfMonthDay(Integer Day, TDateTime Date)
{
    if (Day == 0 || !ValidDate(Date))
        return 0;
    Word Y, M;
    const TDateTime First = FirstOfMonth(Date, Y, M);
    const Integer L = DaysInAMonth(Y, M);
    if (Day > 0)
        return Day <= L ? First + (Day - 1) : 0;
    return Day + L > 0 ? First + (L - 1) + Day + 1 : 0;
}

TDateTime DateOfNthWeekday(Integer N, Integer Weekday, TDateTime Date)
{
    if (N == 0 || Weekday < 1 || Weekday > 7 || !ValidDate(Date))
        return 0;
    // Beyond five weeks no month has the day; the bound also keeps the
    // arithmetic small.
    if (N > 5 || N < -5)
        return 0;
    Word Y, M;
    const TDateTime First = FirstOfMonth(Date, Y, M);
    const TDateTime Last = First + DaysInAMonth(Y, M) - 1;
    TDateTime Result;
    if (N > 0) {
        const Integer W = DayOfTheWeek(First);
        const TDateTime E = First + (Weekday - W);
        Result = Weekday < W ? E + 7 * N : E + 7 * (N - 1);
    } else {
        const Integer W = DayOfTheWeek(Last);
        const TDateTime E = Last + (Weekday - W);
        Result = W < Weekday ? E + 7 * N : E + 7 * (N + 1);
    }
    // A fifth weekday the month does not have is no day of it.
    return Result >= First && Result <= Last ? Result : 0;
}

void ResolveRelativeMonthYear(const TXRelativeDateRule& Rule, Integer CurMonth, Integer CurYear, Integer& Year,
    Integer& Month)
{
    Month = CurMonth;
    Year = CurYear;
    const Integer Code = Rule.MonthCode;
    if (Code >= 1 && Code <= 12) {
        Month = Code;
        const Integer YC = Rule.YearCode;
        if (YC > 200)
            Year = YC;
        else if (YC > 0)
            Year = CurYear + YC - 100;
        else if (YC < 0)
            Year = CurYear + YC + 100;
    } else if (Code >= 100) {
        const Integer Nm = Code - 100;
        Month = (CurMonth + Nm) % 12;
        if (Month == 0)
            Month = 12;
        const Integer T = Nm + CurMonth;
        Integer Q = T / 12;
        if (T % 12 == 0 && Q > 0)
            --Q;
        if (Q > 0)
            Year = CurYear + Q;
    } else if (Code <= -100) {
        const Integer Nm = -Code - 100;
        Month = CurMonth - Nm % 12;
        if (Month <= 0)
            Month += 12;
        if (Nm >= CurMonth)
            Year = CurYear - (Nm - CurMonth + 12) / 12;
    }
}
