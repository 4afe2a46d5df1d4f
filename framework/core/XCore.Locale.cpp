#include "core/XCore.Locale.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include <cstdlib>

X_REGISTER_CLASS(TXLocalizedPersistent)
X_REGISTER_CLASS(TXLocalizedCollectionItem)
X_REGISTER_CLASS(TXLocaleIDStringList)
X_REGISTER_CLASS(TXFormatSettingsObject)
X_REGISTER_CLASS(TXQVLocale)

X_PUBLISHED(TXLocalizedCollectionItem)
{
    X_PROP(LgID, LgID, SetLgID);
}

X_PUBLISHED(TXLocaleIDStringList)
{
    X_PROP(DefaultLgID, DefaultLgID, SetDefaultLgID);
    X_EVENT(OnDefaultChanged, OnDefaultChanged);
}

#define X_SETTINGS_PROP(Field)                                                                                         \
    D.Prop(                                                                                                            \
        u## #Field, [](TXFormatSettingsObject* O) { return O->Settings.Field; },                                       \
        [](TXFormatSettingsObject* O, decltype(TXFormatSettings::Field) V) { O->Settings.Field = V; })

namespace {
template<size_t N>
void PublishNames(XDetail::TPropDefiner<TXFormatSettingsObject>& D, const char* Base,
    std::array<String, N> TXFormatSettings::*Array)
{
    for (size_t I = 0; I < N; ++I) {
        String Name = S(Base) + IntToStr(Integer(I + 1));
        D.Prop(
            Name.c_str(), [Array, I](TXFormatSettingsObject* O) { return (O->Settings.*Array)[I]; },
            [Array, I](TXFormatSettingsObject* O, const String& V) { (O->Settings.*Array)[I] = V; });
    }
}
}

X_PUBLISHED(TXFormatSettingsObject)
{
    X_SETTINGS_PROP(FirstDay);
    X_SETTINGS_PROP(CurrencyFormat);
    X_SETTINGS_PROP(NegCurrFormat);
    X_SETTINGS_PROP(ThousandSeparator);
    X_SETTINGS_PROP(DecimalSeparator);
    X_SETTINGS_PROP(CurrencyDecimals);
    X_SETTINGS_PROP(DateSeparator);
    X_SETTINGS_PROP(TimeSeparator);
    X_SETTINGS_PROP(ListSeparator);
    X_SETTINGS_PROP(CurrencyString);
    X_SETTINGS_PROP(ShortDateFormat);
    X_SETTINGS_PROP(LongDateFormat);
    X_SETTINGS_PROP(TimeAMString);
    X_SETTINGS_PROP(TimePMString);
    X_SETTINGS_PROP(ShortTimeFormat);
    X_SETTINGS_PROP(LongTimeFormat);
    X_SETTINGS_PROP(TwoDigitYearCenturyWindow);
    PublishNames(D, "ShortMonthNames", &TXFormatSettings::ShortMonthNames);
    PublishNames(D, "LongMonthNames", &TXFormatSettings::LongMonthNames);
    PublishNames(D, "ShortDayNames", &TXFormatSettings::ShortDayNames);
    PublishNames(D, "LongDayNames", &TXFormatSettings::LongDayNames);
    PublishNames(D, "UltraShortDayNames", &TXFormatSettings::UltraShortDayNames);
}

#undef X_SETTINGS_PROP

namespace {
TXQVLocale* Instance = nullptr;

void InitLocale()
{
    Instance = New<TXQVLocale>();
}

void DoneLocale()
{
    FreeAndNil(Instance);
}

constexpr Cardinal DefaultLangID = 9;

String HexLower(Cardinal Value)
{
    return LowerCase(IntToHex(Int64(Value), 4));
}

// The first character of a text, a surrogate pair kept whole.
String FirstChar(const String& Text)
{
    if (Text.empty())
        return {};
    size_t N =
        Text.size() >= 2 && Text[0] >= 0xD800 && Text[0] <= 0xDBFF && Text[1] >= 0xDC00 && Text[1] <= 0xDFFF ? 2 : 1;
    return Text.substr(0, N);
}

bool IsAsciiLetters(StringView Text)
{
    for (Char C : Text)
        if (!((C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z')))
            return false;
    return true;
}
}

X_UNIT(XCore_Locale, "XCore.Locale", { "XCore.Classes" }, &InitLocale, &DoneLocale)

TXQVLocale* QVLocale()
{
    return Instance;
}

// ---- Language-tagged objects ----

bool TXLocalizedPersistent::AssignFrom(TPersistent* Source)
{
    if (auto* Localized = DynamicCast<TXLocalizedPersistent>(Source))
        FLgID = Localized->FLgID;
    return inherited::AssignFrom(Source);
}

bool TXLocalizedCollectionItem::AssignFrom(TPersistent* Source)
{
    if (auto* Localized = DynamicCast<TXLocalizedCollectionItem>(Source))
        FLgID = Localized->FLgID;
    return inherited::AssignFrom(Source);
}

void TXLocalizedCollectionItem::Clear()
{
    inherited::Clear();
    FLgID = 0;
}

// ---- TXLocaleIDStringList ----

void TXLocaleIDStringList::Assign(TPersistent* Source)
{
    if (auto* List = DynamicCast<TXLocaleIDStringList>(Source))
        SetDefaultLgID(List->FDefaultLgID);
    inherited::Assign(Source);
}

Cardinal TXLocaleIDStringList::LgIDAt(Integer Index) const
{
    Integer Value;
    if (TryStrToInt(Strings(Index), Value) && Value >= 0)
        return Cardinal(Value);
    return DefaultLangID;
}

void TXLocaleIDStringList::SetDefaultLgID(Cardinal Value)
{
    FDefaultLgID = Value;
    OnDefaultChanged(this);
}

// ---- Format settings ----

void TXFormatSettingsObject::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXFormatSettingsObject>(Source)) {
        Settings = Other->Settings;
        return;
    }
    inherited::Assign(Source);
}

const TFormatSettings& InvariantFormatSettings()
{
    static const TFormatSettings Invariant = [] {
        TFormatSettings Settings;
        Settings.CurrencyFormat = 3;
        Settings.NegCurrFormat = 8;
        Settings.ThousandSeparator = u',';
        Settings.DecimalSeparator = u'.';
        Settings.CurrencyDecimals = 2;
        Settings.DateSeparator = 0;
        Settings.TimeSeparator = 0;
        Settings.ListSeparator = 0;
        for (String* Text : { &Settings.CurrencyString, &Settings.ShortDateFormat, &Settings.LongDateFormat,
                 &Settings.TimeAMString, &Settings.TimePMString, &Settings.ShortTimeFormat, &Settings.LongTimeFormat })
            Text->clear();
        Settings.ShortMonthNames = {};
        Settings.LongMonthNames = {};
        Settings.ShortDayNames = {};
        Settings.LongDayNames = {};
        Settings.TwoDigitYearCenturyWindow = 0;
        return Settings;
    }();
    return Invariant;
}

// ---- The user's language ----

Word LangIDFromLocaleName(StringView Name)
{
    // language[_territory][.codeset][@modifier]
    size_t End = Name.find_first_of(u".@");
    if (End != StringView::npos)
        Name = Name.substr(0, End);
    size_t Split = Name.find_first_of(u"_-");
    StringView Language = Name.substr(0, Split);
    StringView Territory = Split == StringView::npos ? StringView() : Name.substr(Split + 1);
    if (Language.size() < 2 || Language.size() > 3 || !IsAsciiLetters(Language))
        return DefaultLangID;
    const XDetail::TXLocaleData* Data = XDetail::FindLocaleData(Language, Territory);
    return Data ? Data->LangID : DefaultLangID;
}

Word ReadUserDefaultLangID()
{
    for (const char* Variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* Value = std::getenv(Variable);
        if (Value && *Value)
            return LangIDFromLocaleName(S(Value));
    }
    return DefaultLangID;
}

// ---- TXQVLocale ----

void TXQVLocale::Init()
{
    inherited::Init();
    FItems = MakeOwned<TXLocalizedCollection<>>(static_cast<TPersistent*>(nullptr));
}

void TXQVLocale::BeforeDestruction()
{
    FItems.reset();
    inherited::BeforeDestruction();
}

void TXQVLocale::Initialize()
{
    inherited::Initialize();
    FUserLangID = ReadUserDefaultLangID();
    FUserPrimaryLangID = GetPrimaryLangID(FUserLangID);
}

TXLocalizedCollectionItem* TXQVLocale::FindOrAddItem(Cardinal Id)
{
    Integer Index = FItems->IndexOfLgID(Id);
    if (Index >= 0)
        return FItems->Items(Index);
    TXLocalizedCollectionItem* Item = FItems->Add();
    Item->SetLgID(Id);
    return Item;
}

void TXQVLocale::SplitLangID(Cardinal Id, Cardinal& Primary, Cardinal& Sub)
{
    Primary = Id & 0xFF;
    Sub = (Id >> 8) & 0xFF;
}

String TXQVLocale::GetUserLangIDHex() const
{
    return HexLower(FUserLangID);
}

String TXQVLocale::GetUserPrimaryLangIDHex() const
{
    return HexLower(FUserPrimaryLangID);
}

String TXQVLocale::GetISO639Name(Cardinal Id) const
{
    const auto* Data = XDetail::FindLocaleData(Id);
    return Data ? S(Data->ISO639) : String();
}

String TXQVLocale::GetEnglishLanguageName(Cardinal Id) const
{
    const auto* Data = XDetail::FindLocaleData(Id);
    return Data ? S(Data->EnglishName) : String();
}

String TXQVLocale::GetNativeLanguageName(Cardinal Id) const
{
    const auto* Data = XDetail::FindLocaleData(Id);
    return Data ? S(Data->NativeName) : String();
}

String TXQVLocale::GetISO3166Name(Cardinal Id) const
{
    const auto* Data = XDetail::FindLocaleData(Id);
    return Data ? S(Data->ISO3166) : String();
}

String TXQVLocale::GetISOName(Cardinal Id) const
{
    return GetISO639Name(Id) + u"-" + GetISO3166Name(Id);
}

String TXQVLocale::GetLocaleText(Cardinal Id, Integer Kind) const
{
    if (Id == 0) {
        switch (Kind) {
        case 1: return u"00";
        case 2: return u"00-00";
        case 3:
        case 4: return u"Neutral";
        default: return u"0000";
        }
    }
    switch (Kind) {
    case 1: return GetISO639Name(Id);
    case 2: return GetISOName(Id);
    case 3: return GetEnglishLanguageName(Id);
    case 4: return GetNativeLanguageName(Id);
    default: return IntToHex(Int64(Id), 4);
    }
}

void TXQVLocale::GetLocaleFormatSettings(Cardinal Id, TXFormatSettings& Settings) const
{
    Settings = TXFormatSettings {};
    const auto* User = XDetail::FindLocaleData(FUserLangID);
    const auto* Data = XDetail::FindLocaleData(Id);
    if (!Data)
        Data = User;
    FormatSettingsFromRTL(Data ? Data->Formats : TFormatSettings {}, Settings);
    Integer Day = User ? User->FirstDayOfWeek : -1;
    Settings.FirstDay = Day >= 0 && Day <= 6 ? Day + 1 : 1;
}

namespace {
// The fields the platform's settings and the stored record share by name.
template<class S, class D>
void CopySharedFormats(const S& Source, D& Dest)
{
    Dest.CurrencyFormat = Source.CurrencyFormat;
    Dest.NegCurrFormat = Source.NegCurrFormat;
    Dest.ThousandSeparator = Source.ThousandSeparator;
    Dest.DecimalSeparator = Source.DecimalSeparator;
    Dest.CurrencyDecimals = Source.CurrencyDecimals;
    Dest.DateSeparator = Source.DateSeparator;
    Dest.TimeSeparator = Source.TimeSeparator;
    Dest.ListSeparator = Source.ListSeparator;
    Dest.CurrencyString = Source.CurrencyString;
    Dest.ShortDateFormat = Source.ShortDateFormat;
    Dest.LongDateFormat = Source.LongDateFormat;
    Dest.TimeAMString = Source.TimeAMString;
    Dest.TimePMString = Source.TimePMString;
    Dest.ShortTimeFormat = Source.ShortTimeFormat;
    Dest.LongTimeFormat = Source.LongTimeFormat;
    Dest.ShortMonthNames = Source.ShortMonthNames;
    Dest.LongMonthNames = Source.LongMonthNames;
    Dest.TwoDigitYearCenturyWindow = Source.TwoDigitYearCenturyWindow;
}
}

void TXQVLocale::FormatSettingsFromRTL(const TFormatSettings& Source, TXFormatSettings& Dest)
{
    Dest.FirstDay = 1;
    CopySharedFormats(Source, Dest);
    // The platform's weeks start on Sunday, the record's on Monday.
    for (size_t I = 0; I < 7; ++I) {
        Dest.ShortDayNames[I] = Source.ShortDayNames[(I + 1) % 7];
        Dest.LongDayNames[I] = Source.LongDayNames[(I + 1) % 7];
        Dest.UltraShortDayNames[I] = FirstChar(Dest.ShortDayNames[I]);
    }
}

void TXQVLocale::FormatSettingsToRTL(const TXFormatSettings& Source, TFormatSettings& Dest)
{
    CopySharedFormats(Source, Dest);
    for (size_t I = 0; I < 7; ++I) {
        Dest.ShortDayNames[(I + 1) % 7] = Source.ShortDayNames[I];
        Dest.LongDayNames[(I + 1) % 7] = Source.LongDayNames[I];
    }
}

// ---- Routines on the global object ----

Cardinal GetUserLangID()
{
    return Instance ? Instance->UserLangID() : ReadUserDefaultLangID();
}

Cardinal GetPrimaryLangID(Cardinal Id)
{
    return TXQVLocale::GetPrimaryLangID(Id);
}

void SplitLangID(Cardinal Id, Cardinal& Primary, Cardinal& Sub)
{
    TXQVLocale::SplitLangID(Id, Primary, Sub);
}
