// The user's language and regional formats, and the language tag that
// stored objects, collection items and collections carry.
//
// Language ids are Windows language ids; the low byte is the primary
// language, the high byte the sublanguage; 9 (English) is the framework's
// default. The user's language comes from the environment (LC_ALL, then
// LC_MESSAGES, then LANG); names and regional formats come from a table
// built into this unit, which holds the languages the programs use.
#pragma once
#include "rtl/Format.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.h"
#include <array>

struct IXLocalizable : IInterface {
    X_GUID("{814D7D34-B67B-498F-B9FA-BDC03EDA522E}")
    virtual Cardinal GetLgID() = 0;
    virtual void SetLgID(Cardinal Value) = 0;
};

class TXLocalizedPersistent : public TXNamedPersistent, public IXLocalizable {
    X_CLASS(TXLocalizedPersistent, TXNamedPersistent)
    X_INTERFACES(TXLocalizedPersistent, IXLocalizable)
    X_FORWARD_IINTERFACE(TXNamedPersistent)
    // The language id travels with the name.
    bool AssignFrom(TPersistent* Source) override;

    Cardinal GetLgID() override { return FLgID; }
    void SetLgID(Cardinal Value) override { FLgID = Value; }
    Cardinal LgID() const { return FLgID; }

private:
    Cardinal FLgID = 0;
};

class TXLocalizedCollectionItem : public TXManagedCollectionItem, public IXLocalizable {
    X_CLASS(TXLocalizedCollectionItem, TXManagedCollectionItem)
    X_INTERFACES(TXLocalizedCollectionItem, IXLocalizable)
    X_FORWARD_IINTERFACE(TXManagedCollectionItem)
    bool AssignFrom(TPersistent* Source) override;
    void Clear() override;

    Cardinal GetLgID() override { return FLgID; }
    void SetLgID(Cardinal Value) override { FLgID = Value; }
    Cardinal LgID() const { return FLgID; }

private:
    Cardinal FLgID = 0;
};

// A collection with a language tag of its own: the collection's language.
template<class T = TXLocalizedCollectionItem>
class TXLocalizedCollection : public TXCollection<T> {
    X_CLASS_TEMPLATE(TXLocalizedCollection, TXCollection<T>, u"TXLocalizedCollection<T>")
public:
    using inherited::Create;
    void Create(TPersistent* AOwner, TClass AItemClass) override
    {
        inherited::Create(AOwner, AItemClass);
        MakeLgObject();
    }
    void CreateOwned(TPersistent* AOwner) override
    {
        inherited::CreateOwned(AOwner);
        MakeLgObject();
    }
    Integer IndexOfLgID(Cardinal Id) const
    {
        for (Integer I = 0; I < this->Count(); ++I)
            if (this->Items(I)->GetLgID() == Id)
                return I;
        return -1;
    }

    TXLocalizedPersistent* LgObject() const { return FLgObject.get(); }
    Cardinal LgID() const { return FLgObject ? FLgObject->LgID() : 0; }
    void SetLgID(Cardinal Value)
    {
        if (FLgObject)
            FLgObject->SetLgID(Value);
    }

private:
    TOwnedPtr<TXLocalizedPersistent> FLgObject;

    void MakeLgObject()
    {
        if (!FLgObject)
            FLgObject = MakeOwned<TXLocalizedPersistent>();
    }
};

// Language ids, one a line, in decimal; the list's own default language.
class TXLocaleIDStringList : public TStringList {
    X_CLASS(TXLocaleIDStringList, TStringList)
public:
    // The default language first (announced), then the lines.
    void Assign(TPersistent* Source) override;
    // The line as a language id; 9 when it is not one.
    Cardinal LgIDAt(Integer Index) const;

    Cardinal DefaultLgID() const { return FDefaultLgID; }
    // Announced through OnDefaultChanged on every call.
    void SetDefaultLgID(Cardinal Value);

    TEvent<void(TObject* Sender)> OnDefaultChanged;

private:
    Cardinal FDefaultLgID = 9;
};

// Regional formats in the form calendar designs store. Day arrays run from
// Monday (index 0) to Sunday (index 6); month arrays from January.
struct TXFormatSettings {
    Integer FirstDay = 0; // 1 Monday .. 7 Sunday
    Byte CurrencyFormat = 0;
    Byte NegCurrFormat = 0;
    Char ThousandSeparator = 0;
    Char DecimalSeparator = 0;
    Byte CurrencyDecimals = 0;
    Char DateSeparator = 0;
    Char TimeSeparator = 0;
    Char ListSeparator = 0;
    String CurrencyString;
    String ShortDateFormat;
    String LongDateFormat;
    String TimeAMString;
    String TimePMString;
    String ShortTimeFormat;
    String LongTimeFormat;
    std::array<String, 12> ShortMonthNames;
    std::array<String, 12> LongMonthNames;
    std::array<String, 7> ShortDayNames;
    std::array<String, 7> LongDayNames;
    std::array<String, 7> UltraShortDayNames;
    Word TwoDigitYearCenturyWindow = 0;

    friend bool operator==(const TXFormatSettings&, const TXFormatSettings&) = default;
};

// One TXFormatSettings, published field by field so that it persists.
class TXFormatSettingsObject : public TPersistent {
    X_CLASS(TXFormatSettingsObject, TPersistent)
public:
    void Assign(TPersistent* Source) override;

    TXFormatSettings Settings;
};

// The number format that object persistence writes and reads floating-point
// numbers with, so stored numbers never depend on the user's locale.
const TFormatSettings& InvariantFormatSettings();

// The language id of a POSIX locale name ("de_CH.UTF-8", "fr_FR@euro",
// "en"): the table's id for language and territory, the language's own
// default when the territory is not in the table, 9 for "C", "POSIX", ""
// and languages the table does not hold.
Word LangIDFromLocaleName(StringView Name);
// The user's language id, read from the environment on every call.
Word ReadUserDefaultLangID();

class TXQVLocale : public TXInitializableObject {
    X_CLASS(TXQVLocale, TXInitializableObject)
public:
    void Init() override;
    void BeforeDestruction() override;
    // Reads the user's language again.
    void Initialize() override;

    TXLocalizedCollectionItem* FindOrAddItem(Cardinal Id);
    static Cardinal GetPrimaryLangID(Cardinal Id) { return Id & 0xFF; }
    static void SplitLangID(Cardinal Id, Cardinal& Primary, Cardinal& Sub);

    // Four lower-case hexadecimal digits, as sent with server requests.
    String GetUserLangIDHex() const;
    String GetUserPrimaryLangIDHex() const;

    // Empty for a language the table does not hold.
    String GetISO639Name(Cardinal Id) const;
    String GetEnglishLanguageName(Cardinal Id) const;
    String GetNativeLanguageName(Cardinal Id) const;
    String GetISO3166Name(Cardinal Id) const;
    String GetISOName(Cardinal Id) const;
    String GetUserISOName() const { return GetISOName(FUserLangID); }
    // Kind 1 ISO 639 name, 2 ISO name, 3 English name, 4 native name, any
    // other the id in four upper-case hexadecimal digits.
    String GetLocaleText(Cardinal Id, Integer Kind) const;

    // The formats of locale Id (the user's for a locale the table does not
    // hold), with FirstDay always the user's.
    void GetLocaleFormatSettings(Cardinal Id, TXFormatSettings& Settings) const;
    void GetUserFormatSettings(TXFormatSettings& Settings) const { GetLocaleFormatSettings(FUserLangID, Settings); }
    static void FormatSettingsFromRTL(const TFormatSettings& Source, TXFormatSettings& Dest);
    static void FormatSettingsToRTL(const TXFormatSettings& Source, TFormatSettings& Dest);

    TXLocalizedCollection<>* Items() const { return FItems.get(); }
    Cardinal UserLangID() const { return FUserLangID; }
    Cardinal UserPrimaryLangID() const { return FUserPrimaryLangID; }

private:
    TOwnedPtr<TXLocalizedCollection<>> FItems;
    Cardinal FUserLangID = 9;
    Cardinal FUserPrimaryLangID = 9;
};

// The one instance, made by the unit's initialisation; null outside it.
TXQVLocale* QVLocale();

// The global object's user language (read afresh when there is none).
Cardinal GetUserLangID();
Cardinal GetPrimaryLangID(Cardinal Id);
void SplitLangID(Cardinal Id, Cardinal& Primary, Cardinal& Sub);

namespace XDetail {
// One locale of the built-in table.
struct TXLocaleData {
    Word LangID;
    const char* Posix; // "de_CH"
    const char* ISO639;
    const char* ISO3166;
    const char* EnglishName;
    const char* NativeName;
    Integer FirstDayOfWeek; // 0 Monday .. 6 Sunday
    TFormatSettings Formats;
};
// The table's entry for Id; a bare primary language id answers its
// default locale; null when the table does not hold the language.
const TXLocaleData* FindLocaleData(Cardinal Id);
const TXLocaleData* FindLocaleData(StringView Language, StringView Territory);
}
