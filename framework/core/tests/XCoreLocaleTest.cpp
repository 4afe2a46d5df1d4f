#include "core/XCore.Locale.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <optional>

namespace {

// Sets the locale variables for one test and puts the old values back.
class TLocaleEnv : public testing::Test {
protected:
    static constexpr const char* Names[] = { "LC_ALL", "LC_MESSAGES", "LANG" };

    void SetUp() override
    {
        for (const char* Name : Names) {
            const char* Value = std::getenv(Name);
            FSaved.push_back(Value ? std::optional<std::string>(Value) : std::nullopt);
            unsetenv(Name);
        }
    }
    void TearDown() override
    {
        for (size_t I = 0; I < FSaved.size(); ++I) {
            if (FSaved[I])
                setenv(Names[I], FSaved[I]->c_str(), 1);
            else
                unsetenv(Names[I]);
        }
    }
    // A locale object that has read the given LANG.
    static TOwnedPtr<TXQVLocale> LocaleFor(const char* Lang)
    {
        setenv("LANG", Lang, 1);
        return MakeOwned<TXQVLocale>();
    }

private:
    std::vector<std::optional<std::string>> FSaved;
};

class TListener : public TObject {
    X_CLASS(TListener, TObject)
public:
    TXLocaleIDStringList* List = nullptr;
    std::vector<std::pair<Cardinal, Integer>> Seen; // default and line count when told
    void Changed(TObject*) { Seen.emplace_back(List->DefaultLgID(), List->Count()); }
};

}
X_REGISTER_CLASS(TListener)
X_PUBLISHED(TListener)
{
    X_METHOD(Changed);
}

TEST(XLocaleNames, LocaleNamesGiveLanguageIds)
{
    struct TCase {
        const char16_t* Name;
        Word Id;
    };
    const TCase Cases[] = {
        { u"de_DE.UTF-8", 0x0407 },
        { u"de_CH.utf8", 0x0807 },
        { u"de_AT.UTF-8", 0x0407 }, // territory not in the table: the language's default
        { u"de", 0x0407 },
        { u"DE_de", 0x0407 },
        { u"fr_FR@euro", 0x040C },
        { u"en_GB.ISO-8859-1", 0x0809 },
        { u"en_US", 0x0409 },
        { u"ja_JP.eucJP", 0x0411 },
        { u"C", 9 },
        { u"C.UTF-8", 9 },
        { u"POSIX", 9 },
        { u"", 9 },
        { u"es_ES.UTF-8", 9 },
        { u"e", 9 },
        { u"../de_DE", 9 },
        { u"de\u00E4_DE", 9 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(StringToUTF8(C.Name));
        EXPECT_EQ(LangIDFromLocaleName(C.Name), C.Id);
    }
}

TEST_F(TLocaleEnv, VariablesAreReadInPosixOrder)
{
    EXPECT_EQ(ReadUserDefaultLangID(), 9);
    setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(ReadUserDefaultLangID(), 0x040C);
    setenv("LC_MESSAGES", "de_CH.UTF-8", 1);
    EXPECT_EQ(ReadUserDefaultLangID(), 0x0807);
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(ReadUserDefaultLangID(), 0x0807);
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(ReadUserDefaultLangID(), 9);
}

TEST_F(TLocaleEnv, UserLanguageTexts)
{
    auto German = LocaleFor("de_DE.UTF-8");
    EXPECT_EQ(German->UserLangID(), 0x0407u);
    EXPECT_EQ(German->UserPrimaryLangID(), 7u);
    EXPECT_EQ(German->GetUserLangIDHex(), u"0407");
    EXPECT_EQ(German->GetUserPrimaryLangIDHex(), u"0007");
    EXPECT_EQ(German->GetUserISOName(), u"de-DE");

    setenv("LANG", "ja_JP.UTF-8", 1);
    German->Initialize();
    EXPECT_EQ(German->GetUserLangIDHex(), u"0411");
}

TEST(XLocale, SplittingLanguageIds)
{
    Cardinal Primary = 0, Sub = 0;
    SplitLangID(0x0409, Primary, Sub);
    EXPECT_EQ(Primary, 9u);
    EXPECT_EQ(Sub, 4u);
    EXPECT_EQ(GetPrimaryLangID(0x0807), 7u);
    ASSERT_NE(QVLocale(), nullptr);
    EXPECT_EQ(GetUserLangID(), QVLocale()->UserLangID());
}

TEST(XLocale, LocaleTexts)
{
    struct TCase {
        Cardinal Id;
        Integer Kind;
        const char16_t* Text;
    };
    const TCase Cases[] = {
        { 0, 1, u"00" },
        { 0, 2, u"00-00" },
        { 0, 3, u"Neutral" },
        { 0, 4, u"Neutral" },
        { 0, 0, u"0000" },
        { 0x0409, 7, u"0409" },
        { 0x040C, 5, u"040C" },
        { 0x0409, 1, u"en" },
        { 0x0407, 2, u"de-DE" },
        { 0x0807, 2, u"de-CH" },
        { 0x0809, 2, u"en-GB" },
        { 0x0807, 3, u"German" },
        { 0x040C, 4, u"français" },
        { 0x0411, 4, u"日本語" },
        { 9, 2, u"en-US" },
        { 7, 4, u"Deutsch" },
        // A language the table does not hold has no names.
        { 0x0419, 3, u"" },
        { 0x0419, 2, u"-" },
        { 0x0419, 9, u"0419" },
    };
    TOwnedPtr<TXQVLocale> Locale(MakeOwned<TXQVLocale>());
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << std::hex << C.Id << " kind " << C.Kind);
        EXPECT_EQ(Locale->GetLocaleText(C.Id, C.Kind), C.Text);
    }
}

TEST(XLocale, LanguageItemsAreAddedOnce)
{
    TOwnedPtr<TXQVLocale> Locale(MakeOwned<TXQVLocale>());
    TXLocalizedCollectionItem* German = Locale->FindOrAddItem(1031);
    EXPECT_EQ(German->LgID(), 1031u);
    EXPECT_EQ(Locale->FindOrAddItem(9)->LgID(), 9u);
    EXPECT_EQ(Locale->FindOrAddItem(1031), German);
    EXPECT_EQ(Locale->Items()->Count(), 2);
}

TEST(XLocaleFormats, DayArraysStartOnMondayAndConvertBack)
{
    TFormatSettings Platform;
    TXFormatSettings Record;
    TXQVLocale::FormatSettingsFromRTL(Platform, Record);
    EXPECT_EQ(Record.FirstDay, 1);
    EXPECT_EQ(Record.ShortDayNames[0], u"Mon");
    EXPECT_EQ(Record.ShortDayNames[6], u"Sun");
    EXPECT_EQ(Record.LongDayNames[6], u"Sunday");
    EXPECT_EQ(Record.UltraShortDayNames[0], u"M");
    EXPECT_EQ(Record.UltraShortDayNames[6], u"S");
    EXPECT_EQ(Record.LongMonthNames[0], u"January");

    Platform.ShortDayNames[1] = u"\U0001F600x"; // a surrogate pair stays whole
    Platform.ShortDayNames[2].clear();
    TXQVLocale::FormatSettingsFromRTL(Platform, Record);
    EXPECT_EQ(Record.UltraShortDayNames[0], u"\U0001F600");
    EXPECT_EQ(Record.UltraShortDayNames[1], u"");

    TFormatSettings Back;
    Back.ShortDayNames = {};
    Back.LongDayNames = {};
    TXQVLocale::FormatSettingsToRTL(Record, Back);
    EXPECT_EQ(Back.ShortDayNames, Platform.ShortDayNames);
    EXPECT_EQ(Back.LongDayNames, Platform.LongDayNames);
    EXPECT_EQ(Back.ShortMonthNames, Platform.ShortMonthNames);
    EXPECT_EQ(Back.LongTimeFormat, Platform.LongTimeFormat);
}

TEST_F(TLocaleEnv, FirstDayFollowsTheUserWhateverLocaleIsAsked)
{
    struct TCase {
        const char* Lang;
        Cardinal Id;
        Integer FirstDay;
        Char Decimal;
        const char16_t* Monday;
    };
    const TCase Cases[] = {
        { "de_DE.UTF-8", 0x0409, 1, u'.', u"Monday" },
        { "en_US.UTF-8", 0x0407, 7, u',', u"Montag" },
        { "en_US.UTF-8", 0x0411, 7, u'.', u"月曜日" },
        { "ja_JP.UTF-8", 0x040C, 7, u',', u"lundi" },
        { "en_GB.UTF-8", 0x0409, 1, u'.', u"Monday" },
        // A locale the table does not hold gives the user's formats.
        { "fr_FR.UTF-8", 0x0419, 1, u',', u"lundi" },
        { "C", 0x0419, 7, u'.', u"Monday" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Lang << " asks " << std::hex << C.Id);
        auto Locale = LocaleFor(C.Lang);
        TXFormatSettings Settings;
        Settings.CurrencyString = u"stale";
        Locale->GetLocaleFormatSettings(C.Id, Settings);
        EXPECT_EQ(Settings.FirstDay, C.FirstDay);
        EXPECT_EQ(Settings.DecimalSeparator, C.Decimal);
        EXPECT_EQ(Settings.LongDayNames[0], C.Monday);
        EXPECT_NE(Settings.CurrencyString, u"stale");
    }
    auto Swiss = LocaleFor("de_CH.UTF-8");
    TXFormatSettings User;
    Swiss->GetUserFormatSettings(User);
    EXPECT_EQ(User.CurrencyString, u"CHF");
    EXPECT_EQ(User.ShortDateFormat, u"dd.MM.yyyy");
    EXPECT_EQ(User.LongMonthNames[2], u"März");
}

TEST(XLocaleFormats, InvariantNumberFormat)
{
    const TFormatSettings& F = InvariantFormatSettings();
    EXPECT_EQ(F.DecimalSeparator, u'.');
    EXPECT_EQ(F.ThousandSeparator, u',');
    EXPECT_EQ(F.CurrencyDecimals, 2);
    EXPECT_EQ(F.CurrencyFormat, 3);
    EXPECT_EQ(F.NegCurrFormat, 8);
    EXPECT_EQ(F.DateSeparator, 0);
    EXPECT_EQ(F.CurrencyString, u"");
    EXPECT_EQ(F.LongMonthNames[0], u"");
    EXPECT_EQ(FloatToStr(1234.5, F), u"1234.5");
}

TEST(XLocaleFormats, SettingsObjectPublishesEveryField)
{
    std::vector<String> Names;
    for (const TPropInfo* P : GetPropList(TXFormatSettingsObject::StaticClass()))
        Names.push_back(P->Name);
    ASSERT_EQ(Names.size(), 62u);
    EXPECT_EQ(Names[0], u"FirstDay");
    EXPECT_EQ(Names[16], u"TwoDigitYearCenturyWindow");
    EXPECT_EQ(Names[17], u"ShortMonthNames1");
    EXPECT_EQ(Names[40], u"LongMonthNames12");
    EXPECT_EQ(Names[61], u"UltraShortDayNames7");

    TOwnedPtr<TXFormatSettingsObject> Obj(MakeOwned<TXFormatSettingsObject>());
    SetPropValueText(Obj.get(), GetPropInfo(Obj.get(), u"LongDayNames7"), u"Sonntag");
    SetPropValueText(Obj.get(), GetPropInfo(Obj.get(), u"DecimalSeparator"), u",");
    SetPropValueText(Obj.get(), GetPropInfo(Obj.get(), u"FirstDay"), u"7");
    EXPECT_EQ(Obj->Settings.LongDayNames[6], u"Sonntag");
    EXPECT_EQ(Obj->Settings.DecimalSeparator, u',');
    EXPECT_EQ(GetPropValueText(Obj.get(), GetPropInfo(Obj.get(), u"FirstDay")), u"7");

    TOwnedPtr<TXFormatSettingsObject> Copy(MakeOwned<TXFormatSettingsObject>());
    Copy->Assign(Obj.get());
    EXPECT_EQ(Copy->Settings, Obj->Settings);
}

TEST(XLocaleIDs, LinesAndDefaultLanguage)
{
    TOwnedPtr<TXLocaleIDStringList> List(MakeOwned<TXLocaleIDStringList>());
    EXPECT_EQ(List->DefaultLgID(), 9u);
    List->SetText(u"1031\r\nGerman\r\n\r\n-5\r\n2055\r\n");
    EXPECT_EQ(List->LgIDAt(0), 1031u);
    EXPECT_EQ(List->LgIDAt(1), 9u);
    EXPECT_EQ(List->LgIDAt(2), 9u);
    EXPECT_EQ(List->LgIDAt(3), 9u);
    EXPECT_EQ(List->LgIDAt(4), 2055u);
    EXPECT_THROW(List->LgIDAt(5), EStringListError);

    // Assign announces the new default before the lines arrive.
    TOwnedPtr<TXLocaleIDStringList> Target(MakeOwned<TXLocaleIDStringList>());
    TOwnedPtr<TListener> Listener(MakeOwned<TListener>());
    Listener->List = Target.get();
    Target->OnDefaultChanged.SetMethod(TMethod { MethodAddress(TListener::StaticClass(), u"Changed"), Listener.get() });
    List->SetDefaultLgID(1036);
    Target->Assign(List.get());
    EXPECT_EQ(Target->Count(), 5);
    using TSeen = std::vector<std::pair<Cardinal, Integer>>;
    EXPECT_EQ(Listener->Seen, (TSeen { { 1036, 0 } }));
    Target->SetDefaultLgID(1036);
    EXPECT_EQ(Listener->Seen.size(), 2u);
}

TEST(XLocalized, ItemsAndPersistentsCarryTheirLanguage)
{
    TOwnedPtr<TXLocalizedCollection<>> Items(New<TXLocalizedCollection<>>(static_cast<TPersistent*>(nullptr)));
    ASSERT_NE(Items->LgObject(), nullptr);
    Items->SetLgID(1031);
    EXPECT_EQ(Items->LgObject()->LgID(), 1031u);
    TXLocalizedCollectionItem* A = Items->Add();
    A->SetName(u"a");
    A->SetLgID(1036);
    TXLocalizedCollectionItem* B = Items->Add();
    B->Assign(A);
    EXPECT_EQ(B->LgID(), 1036u);
    EXPECT_EQ(B->GetName(), u"a");
    EXPECT_EQ(Items->IndexOfLgID(1036), 0);
    EXPECT_EQ(Items->IndexOfLgID(9), -1);
    B->Clear();
    EXPECT_EQ(B->LgID(), 0u);
    EXPECT_EQ(GetPropValueText(A, GetPropInfo(A, u"LgID")), u"1036");

    auto Localizable = Supports<IXLocalizable>(A);
    ASSERT_TRUE(Localizable);
    Localizable->SetLgID(7);
    EXPECT_EQ(A->LgID(), 7u);

    TOwnedPtr<TXLocalizedPersistent> P(MakeOwned<TXLocalizedPersistent>());
    TOwnedPtr<TXLocalizedPersistent> Q(MakeOwned<TXLocalizedPersistent>());
    P->SetName(u"p");
    P->SetLgID(2055);
    Q->Assign(P.get());
    EXPECT_EQ(Q->LgID(), 2055u);
    EXPECT_EQ(Q->Name(), u"p");
    EXPECT_TRUE(Supports<IXLocalizable>(Q.get()));
}
