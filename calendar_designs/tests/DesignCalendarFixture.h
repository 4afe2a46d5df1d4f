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
