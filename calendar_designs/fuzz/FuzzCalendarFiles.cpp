#include "rtl/testing/FuzzTarget.h"
#include "calendar_designs/XVActive.Events.h"
#include "calendar_designs/XVData.Filers.h"

namespace {

// The stored kinds a calendar folder holds, and the bare header.
TClass KindClass(Byte Kind)
{
    switch (Kind % 5) {
    case 0:
        return TXVHolidayObject::StaticClass();
    case 1:
        return TXVJournalObject::StaticClass();
    case 2:
        return TXVQuickNoteObject::StaticClass();
    case 3:
        return TXVHolidayTabObject::StaticClass();
    default:
        return TXL::StaticClass();
    }
}

} // namespace

// The first byte picks the kind and a full or partial read; the rest is the
// file. A holiday read is then expanded into a few months, so stored rules
// reach the expansion as they come.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    TClass Class = KindClass(Data[0]);
    TOwnedPtr<TBytesStream> Stream(FuzzStream(Data + 1, Size - 1));
    if (Class == TXL::StaticClass()) {
        TOwnedPtr<TXL> L(New<TXL>());
        FilerLoadFromStream(Stream.get(), TXRLStreamFiler::StaticClass(), L.get(), false, nullptr);
        return 0;
    }
    TOwnedPtr<TXCustomVDataObject> Object(Construct(static_cast<TXCustomVDataObject*>(Class->NewInstance())));
    const bool Partial = (Data[0] / 5) % 2;
    TXFilerParts Parts;
    if (!Partial)
        Parts.set(0);
    FilerLoadFromStream(Stream.get(), Object->GetFilerClass(), Object.get(), false, nullptr, Parts, Partial ? 1 : 0);
    if (auto* Event = DynamicCast<TXCustomVEventObject>(Object.get())) {
        TOwnedPtr<TXVActiveEventsEngine> Engine(New<TXVActiveEventsEngine>(static_cast<TComponent*>(nullptr)));
        TXVDayFlags Flags;
        for (TDateTime Month : { EncodeDate(1, 1, 1), EncodeDate(2024, 2, 1), EncodeDate(9999, 12, 1) })
            Engine->ExpandEventMonth(Flags, Event, Month);
    }
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    TOwnedPtr<TXVHolidayObject> H(New<TXVHolidayObject>());
    H->InitNew(nullptr);
    H->SetSummary(u"Midsummer");
    H->Description()->DataStream()->WriteBuffer("{\\rtf1 x}", 9);
    H->Image()->DataStream()->WriteBuffer("picture", 7);
    H->DTStart()->SetDDate(EncodeDate(2024, 6, 21));
    H->DTEnd()->SetDDate(EncodeDate(2024, 6, 23));
    TXVRecurrenceItem* R = H->RRule()->Add();
    R->SetFrequency(vfqMonthly);
    R->SetInterval(2);
    R->ByMonthDay()->Add(-1);
    R->ByWeekDay()->AddWeekDay(-2, 5);
    H->FillHeaderInfo();
    TOwnedPtr<TXVJournalObject> J(New<TXVJournalObject>());
    J->InitNew(nullptr);
    J->SetDescriptionTitle(u"Tuesday");
    J->FillHeaderInfo();
    TOwnedPtr<TXVHolidayTabObject> T(New<TXVHolidayTabObject>());
    T->SetCaption(u"Holidays");
    T->FillHeaderInfo();
    const struct {
        const char* Name;
        Byte Kind;
        TXCustomVDataObject* Object;
    } Kinds[] = { { "holiday", 0, H.get() }, { "journal", 1, J.get() }, { "tab", 3, T.get() }, { "header", 4, H.get() } };
    for (const auto& K : Kinds) {
        TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
        FilerSaveToStream(Out.get(), K.Object->GetFilerClass(), K.Object, false, nullptr);
        TOwnedPtr<TMemoryStream> Seed(MakeOwned<TMemoryStream>());
        Seed->WriteBuffer(&K.Kind, 1);
        Seed->CopyFrom(Out.get(), 0);
        Seeds.Add(K.Name, Seed.get());
    }
}
