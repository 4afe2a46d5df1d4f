#include "calendar_designs/XVActive.Calendar.h"

X_REGISTER_CLASS(TXVActiveEventObject)
X_REGISTER_CLASS(TXVActiveEventObjectList)
X_REGISTER_CLASS(TXVActiveDay)
X_REGISTER_CLASS(TXVActiveMonth)
X_REGISTER_CLASS(TXVActiveYear)
X_REGISTER_CLASS(TXVActiveYears)
X_REGISTER_CLASS(TXVActiveCalendarEngine)

namespace {

std::int16_t MinuteOf(TDateTime Value)
{
    Word H, M, S, Ms;
    DecodeTime(Value, H, M, S, Ms);
    return std::int16_t(H * 60 + M);
}

bool IsHolidayEntry(const TXVActiveEventObject* E)
{
    return DynamicCast<TXVHolidayObject>(E->Event) != nullptr;
}

// Holidays first, by their ordering key; then the others by start.
Integer CompareEntries(TXVActiveEventObject* const& A, TXVActiveEventObject* const& B)
{
    const bool HA = IsHolidayEntry(A);
    const bool HB = IsHolidayEntry(B);
    if (HA != HB)
        return HA ? -1 : 1;
    if (HA) {
        const Integer KA = A->Event->OrderKey();
        const Integer KB = B->Event->OrderKey();
        return KA < KB ? -1 : KA > KB ? 1 : 0;
    }
    return A->StartMinute - B->StartMinute;
}

} // namespace

void TXVActiveDay::Init()
{
    inherited::Init();
    FEvents.reset(New<TXVActiveEventObjectList>());
}

void TXVActiveDay::Reset(Word AYear, Word AMonth, Word ADay)
{
    FEvents->Clear();
    Journal = nullptr;
    IsHoliday = false;
    BgColor = TextColor = clNone;
    Year = AYear;
    Month = AMonth;
    Day = ADay;
    Date = ADay <= DaysInAMonth(AYear, AMonth) ? EncodeDate(AYear, AMonth, ADay) : 0;
}

void TXVActiveMonth::Init()
{
    inherited::Init();
    for (auto& D : FDays)
        D.reset(New<TXVActiveDay>());
}

void TXVActiveMonth::Setup(Word AYear, Word AMonth)
{
    Year = AYear;
    Month = AMonth;
    FirstDate = EncodeDate(AYear, AMonth, 1);
    Built = false;
    for (Word D = 1; D <= 31; ++D)
        Days(D)->Reset(AYear, AMonth, D);
}

void TXVActiveYear::Init()
{
    inherited::Init();
    for (auto& M : FMonths)
        M.reset(New<TXVActiveMonth>());
}

void TXVActiveYear::Setup(Word AYear)
{
    Year = AYear;
    FirstDate = EncodeDate(AYear, 1, 1);
    for (Word M = 1; M <= 12; ++M)
        Months(M)->Setup(AYear, M);
}

void TXVActiveCalendarEngine::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FYears.reset(New<TXVActiveYears>());
}

void TXVActiveCalendarEngine::BeforeDestruction()
{
    SetCalendars(nullptr);
    inherited::BeforeDestruction();
}

void TXVActiveCalendarEngine::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FCalendars) {
        FCalendars = nullptr;
        DropReferences();
    }
}

void TXVActiveCalendarEngine::DropReferences()
{
    // Every entry and journal belonged to the storage now gone.
    FYears->Clear();
}

void TXVActiveCalendarEngine::SetCalendars(TXVCalendars* Value)
{
    if (Value == FCalendars)
        return;
    if (FCalendars) {
        FCalendars->RemoveWatcher(this);
        FCalendars->RemoveFreeNotification(this);
        DropReferences();
    }
    FCalendars = Value;
    if (FCalendars) {
        FCalendars->FreeNotification(this);
        FCalendars->AddWatcher(this);
    }
}

void TXVActiveCalendarEngine::DataObjectRemoving(TXCustomVDataObject* Object)
{
    if (auto* Event = DynamicCast<TXCustomVEventObject>(Object))
        RemoveObject(Event);
    if (auto* Journal = DynamicCast<TXVJournalObject>(Object))
        for (TXVActiveYear* Y : *FYears)
            for (Integer M = 1; M <= 12; ++M)
                for (Integer D = 1; D <= 31; ++D)
                    if (Y->Months(M)->Days(D)->Journal == Journal)
                        Y->Months(M)->Days(D)->Journal = nullptr;
}

Integer TXVActiveCalendarEngine::IndexOfYear(Integer Year)
{
    if (Year < 1 || Year > 9999)
        return -1;
    for (Integer I = 0; I < FYears->Count(); ++I)
        if (FYears->Items(I)->Year == Year)
            return I;
    auto* Y = New<TXVActiveYear>();
    Y->Setup(Word(Year));
    return FYears->Add(Y);
}

TXVActiveDay* TXVActiveCalendarEngine::Day(Integer Year, Integer Month, Integer Day)
{
    if (Month < 1 || Month > 12 || Day < 1 || Day > 31)
        return nullptr;
    const Integer I = IndexOfYear(Year);
    return I < 0 ? nullptr : FYears->Items(I)->Months(Month)->Days(Day);
}

TXVActiveDay* TXVActiveCalendarEngine::DayOfDate(TDateTime Date)
{
    if (!IsCalendarDate(Date))
        return nullptr;
    Word Y, M, D;
    DecodeDate(Date, Y, M, D);
    return Day(Y, M, D);
}

bool TXVActiveCalendarEngine::EnsureMonth(Integer Year, Integer Month)
{
    if (Month < 1 || Month > 12)
        return false;
    const Integer I = IndexOfYear(Year);
    if (I < 0)
        return false;
    TXVActiveMonth* AMonth = FYears->Items(I)->Months(Month);
    if (AMonth->Built)
        return true;
    const Integer Length = AMonth->DaysInMonth();
    TXVJournalTabObject* Journals = FCalendars ? FCalendars->JournalsTab() : nullptr;
    TXVHolidayTabObject* Holidays = FCalendars ? FCalendars->HolidaysTab() : nullptr;
    for (Integer D = 1; D <= Length && Journals; ++D) {
        TXVActiveDay* ADay = AMonth->Days(D);
        const Integer J = Journals->Items()->IndexOfDate(ADay->Date);
        auto* Journal = J >= 0 ? DynamicCast<TXVJournalObject>(Journals->Items()->Items(J)) : nullptr;
        // A blank journal is an editor's new page, not written yet and
        // freed when the journal window closes unused.
        if (Journal && !Journal->HasState(vsfBlank) && Journal->Load() && Journal->HasState(vsfLoaded))
            ADay->Journal = Journal;
    }
    for (Integer D = 1; D <= 31; ++D)
        AMonth->Days(D)->Events()->Clear();
    for (Integer K = 0; Holidays && K < Holidays->Items()->Count(); ++K)
        if (auto* Event = DynamicCast<TXCustomVEventObject>(Holidays->Items()->Items(K)))
            ExpandIntoMonth(Event, AMonth);
    for (Integer D = 1; D <= Length; ++D)
        RecolorDay(AMonth->Days(D));
    AMonth->Built = true;
    ++FBuildCount;
    return true;
}

bool TXVActiveCalendarEngine::ExpandIntoMonth(TXCustomVEventObject* Event, TXVActiveMonth* Month)
{
    TXVDayFlags Flags;
    if (!ExpandEventMonth(Flags, Event, Month->FirstDate))
        return false;
    const std::int16_t Start = MinuteOf(Event->DTStart()->DDate());
    const std::int16_t End = MinuteOf(Event->DTEnd()->DDate());
    const Integer FirstDay = Integer(Month->FirstDate);
    const struct {
        Byte Flag;
        bool FromStart; // else from the day's start
        Integer EndMinute; // -2: the event's end minute
    } Rows[] = { { vdfAllDay, false, -1 }, { vdfMiddleDay, false, 1441 }, { vdfFirstDay, true, 1441 },
        { vdfSingleDay, true, -2 }, { vdfLastDay, false, -2 } };
    for (Integer D = 1; D <= Month->DaysInMonth(); ++D) {
        const Byte F = Flags[size_t(D - 1)];
        for (const auto& R : Rows) {
            if (!(F & R.Flag))
                continue;
            auto* Entry = New<TXVActiveEventObject>();
            Entry->Event = Event;
            Entry->Date = FirstDay + D - 1;
            Entry->StartMinute = R.FromStart ? Start : std::int16_t(-1);
            Entry->EndMinute = R.EndMinute == -2 ? End : std::int16_t(R.EndMinute);
            Month->Days(D)->Events()->Add(Entry);
        }
    }
    return true;
}

void TXVActiveCalendarEngine::RecolorDay(TXVActiveDay* Day)
{
    Day->IsHoliday = false;
    Day->BgColor = Day->TextColor = clNone;
    Day->Events()->Sort(TComparer<TXVActiveEventObject*>::Construct(&CompareEntries));
    for (TXVActiveEventObject* E : *Day->Events()) {
        auto* Holiday = DynamicCast<TXVHolidayObject>(E->Event);
        if (!Holiday)
            continue;
        if (Holiday->ColorType() == vdcHoliday) {
            Day->IsHoliday = true;
        } else if (Holiday->ColorType() == vdcCustom) {
            Day->IsHoliday = true;
            Day->BgColor = Holiday->BgColor();
            Day->TextColor = Holiday->TextColor();
            break;
        }
    }
}

void TXVActiveCalendarEngine::AddObject(TXCustomVEventObject* Event)
{
    for (TXVActiveYear* Y : *FYears)
        for (Integer M = 1; M <= 12; ++M) {
            TXVActiveMonth* Month = Y->Months(M);
            if (Month->Built && ExpandIntoMonth(Event, Month))
                for (Integer D = 1; D <= Month->DaysInMonth(); ++D)
                    RecolorDay(Month->Days(D));
        }
}

void TXVActiveCalendarEngine::RemoveObject(TXCustomVEventObject* Event)
{
    for (TXVActiveYear* Y : *FYears)
        for (Integer M = 1; M <= 12; ++M)
            for (Integer D = 1; D <= 31; ++D) {
                TXVActiveDay* ADay = Y->Months(M)->Days(D);
                bool Lost = false;
                for (Integer I = ADay->Events()->Count() - 1; I >= 0; --I)
                    if (ADay->Events()->Items(I)->Event == Event) {
                        ADay->Events()->Delete(I);
                        Lost = true;
                    }
                if (Lost)
                    RecolorDay(ADay);
            }
}

bool TXVActiveCalendarEngine::SetJournal(TXVJournalObject* Journal)
{
    if (!Journal || !Journal->Load())
        return false;
    TXVActiveDay* ADay = DayOfDate(Journal->DTStart()->DDate());
    if (ADay)
        ADay->Journal = Journal;
    return ADay != nullptr;
}

void TXVActiveCalendarEngine::ClearJournal(TXVJournalObject* Journal)
{
    if (!Journal)
        return;
    if (TXVActiveDay* ADay = DayOfDate(Journal->DTStart()->DDate()))
        ADay->Journal = nullptr;
}
