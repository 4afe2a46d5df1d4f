// A calendar for the design tests: a quick note, holidays with and without
// pictures, journals with text, in March 2024, behind an active engine.
#pragma once
#include "CalendarTestSupport.h"
#include "DesignTestSupport.h"
#include "rtl/testing/Testing.h"

namespace DesignTesting {

struct TDesignCalendar {
    Testing::TTempFolder Folder;
    TOwnedPtr<TXVCalendars> Calendars { New<TXVCalendars>(static_cast<TComponent*>(nullptr)) };
    TOwnedPtr<TXVActiveCalendarEngine> Engine { New<TXVActiveCalendarEngine>(static_cast<TComponent*>(nullptr)) };

    TDesignCalendar()
    {
        using CalendarTesting::D;
        Calendars->OpenStorage(Folder.File("Calendars"));
        Engine->SetCalendars(Calendars.get());
        SetText(Calendars->QNotesTab()->DefaultQuickNote(), u"Buy flowers\r\nCall the garden centre");
        Holiday(u"Spring day", D(2024, 3, 20), 0x2080F0);
        Holiday(u"Market", D(2024, 3, 20), 0xF08020);
        Holiday(u"Kite festival", D(2024, 3, 20), 0x20C040);
        Holiday(u"Quiet day", D(2024, 3, 22), clNone);
        Journal(D(2024, 3, 21), u"Dentist at ten", 0x8040C0);
        Journal(D(2024, 3, 25), u"Trip to the coast\r\nPack the blue bag", clNone);
    }

    static void SetText(TXCustomVNoteObject* Note, const String& Text)
    {
        TOwnedPtr<TStringStream> S(MakeOwned<TStringStream>(Text));
        Note->Description()->LoadFromStream(u"txt", S.get());
    }

    // An all-day holiday on Day; its picture one colour unless none.
    TXVHolidayObject* Holiday(const String& Summary, TDateTime Day, TColor Picture)
    {
        auto* H = DynamicCast<TXVHolidayObject>(Calendars->HolidaysTab()->NewObject());
        CalendarTesting::TEventSpec Spec;
        Spec.Start = Day;
        Spec.End = Day;
        Spec.AllDay = true;
        CalendarTesting::FillEvent(H, Spec);
        H->SetSummary(Summary);
        H->SetColorType(vdcHoliday);
        if (Picture != clNone)
            FillPicture(H->Image(), 16, 16, Picture);
        H->TouchAndSave();
        return H;
    }

    TXVJournalObject* Journal(TDateTime Day, const String& Text, TColor Picture)
    {
        TXVJournalObject* J = Calendars->JournalsTab()->JournalOfDate(Day);
        J->SetDescriptionTitle(Text.substr(0, Text.find(u'\r')));
        SetText(J, Text);
        if (Picture != clNone)
            FillPicture(J->Image(), 16, 16, Picture);
        J->TouchAndSave();
        return J;
    }
};

}

namespace DesignTesting {

// English names and formats with weeks from Monday, whatever the machine's
// locale: pictures compared against references must not depend on it.
inline TXFormatSettings EnglishSettings()
{
    TXFormatSettings F;
    F.FirstDay = 1;
    F.DateSeparator = u'/';
    F.ShortDateFormat = u"dd/MM/yyyy";
    F.LongDateFormat = u"dddd, d MMMM yyyy";
    F.LongMonthNames = { u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August",
        u"September", u"October", u"November", u"December" };
    for (size_t I = 0; I < 12; ++I)
        F.ShortMonthNames[I] = F.LongMonthNames[I].substr(0, 3);
    F.LongDayNames = { u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday", u"Sunday" };
    for (size_t I = 0; I < 7; ++I) {
        F.ShortDayNames[I] = F.LongDayNames[I].substr(0, 3);
        F.UltraShortDayNames[I] = F.LongDayNames[I].substr(0, 1);
    }
    return F;
}

// A page showing March 2024 from the fixture calendar in English.
inline void ShowMarch2024(TXPageObject* Page, TDesignCalendar& Cal)
{
    Page->DefaultList()->SetDate(20, 3, 2024);
    Page->DefaultList()->SetFormatSettings(EnglishSettings());
    Page->DefaultList()->SetCalendarEngine(Cal.Engine.get());
}

}
