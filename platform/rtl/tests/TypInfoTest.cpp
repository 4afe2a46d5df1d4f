#include "rtl/Collection.h"
#include "rtl/Lists.h"
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include "rtl/TypInfo.h"
#include <gtest/gtest.h>

namespace {

enum TTint { tiRed, tiGreen, tiBlue };
X_ENUM_INFO(TTint, tiRed, tiGreen, tiBlue)

// Every kind of published property, with setters that count their calls.
class TProbe : public TPersistent {
    X_CLASS(TProbe, TPersistent)
public:
    Integer SetCalls = 0;
    Integer Width() const { return FWidth; }
    void SetWidth(Integer V)
    {
        FWidth = V;
        ++SetCalls;
    }
    int8_t Small() const { return FSmall; }
    void SetSmall(int8_t V) { FSmall = V; }
    Byte Level() const { return FLevel; }
    void SetLevel(Byte V) { FLevel = V; }
    Word Wide() const { return FWide; }
    void SetWide(Word V) { FWide = V; }
    Cardinal Big() const { return FBig; }
    void SetBig(Cardinal V) { FBig = V; }
    Char Letter() const { return FLetter; }
    void SetLetter(Char V) { FLetter = V; }
    TTint Tint() const { return FTint; }
    void SetTint(TTint V) { FTint = V; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool V) { FVisible = V; }
    UInt64 Tints() const { return FTints; }
    void SetTints(UInt64 V) { FTints = V; }
    double Ratio() const { return FRatio; }
    void SetRatio(double V) { FRatio = V; }
    double When() const { return FWhen; }
    void SetWhen(double V) { FWhen = V; }
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    Int64 Huge() const { return FHuge; }
    void SetHuge(Int64 V) { FHuge = V; }
    UInt64 Unsigned() const { return FUnsigned; }
    void SetUnsigned(UInt64 V) { FUnsigned = V; }
    TVariant Data() const { return FData; }
    void SetData(const TVariant& V) { FData = V; }
    TStrings* Lines() const { return FLines.get(); }
    TEvent<void(TObject*)> OnPing;
    TEvent<Integer(Integer)> OnTwice;

    TObject* Pinged = nullptr;
    void Ping(TObject* Sender) { Pinged = Sender; }
    Integer Twice(Integer V) { return 2 * V; }

private:
    bool IsCaptionStored() const { return FCaption != u"secret"; }
    Integer FWidth = 100;
    int8_t FSmall = 0;
    Byte FLevel = 0;
    Word FWide = 0;
    Cardinal FBig = 0;
    Char FLetter = u'a';
    TTint FTint = tiRed;
    bool FVisible = true;
    UInt64 FTints = 0;
    double FRatio = 0;
    double FWhen = 0;
    String FCaption;
    Int64 FHuge = 0;
    UInt64 FUnsigned = 0;
    TVariant FData;
    TOwnedPtr<TStringList> FLines { New<TStringList>() };
};
X_REGISTER_CLASS(TProbe)
X_PUBLISHED(TProbe)
{
    X_PROP(Width, Width, SetWidth).Default(100);
    X_PROP(Small, Small, SetSmall);
    X_PROP(Level, Level, SetLevel);
    X_PROP(Wide, Wide, SetWide);
    X_PROP(Big, Big, SetBig);
    X_PROP(Letter, Letter, SetLetter);
    X_PROP(Tint, Tint, SetTint).Default(tiRed);
    X_PROP(Visible, Visible, SetVisible).Default(true);
    X_PROP_SET(Tints, TTint, Tints, SetTints).Default(0);
    X_PROP(Ratio, Ratio, SetRatio);
    X_PROP_DATETIME(When, When, SetWhen);
    X_PROP(Caption, Caption, SetCaption).Stored(&TProbe::IsCaptionStored);
    X_PROP(Huge, Huge, SetHuge);
    X_PROP(Unsigned, Unsigned, SetUnsigned);
    X_PROP(Data, Data, SetData);
    X_PROP_READONLY(Lines, Lines);
    X_EVENT(OnPing, OnPing);
    X_EVENT(OnTwice, OnTwice);
    X_METHOD(Ping);
    X_METHOD(Twice);
}

class TProbeChild : public TProbe {
    X_CLASS(TProbeChild, TProbe)
public:
    Integer Extra() const { return FExtra; }
    void SetExtra(Integer V) { FExtra = V; }

private:
    Integer FExtra = 0;
};
X_REGISTER_CLASS(TProbeChild)
X_PUBLISHED(TProbeChild)
{
    X_PROP(Extra, Extra, SetExtra);
}

TEST(TypInfo, PropertiesComeAncestorsFirstInDeclarationOrder)
{
    std::vector<String> Names;
    for (const TPropInfo* P : GetPropList(TProbeChild::StaticClass()))
        Names.push_back(P->Name);
    ASSERT_EQ(Names.size(), 19u);
    EXPECT_EQ(Names.front(), u"Width");
    EXPECT_EQ(Names[1], u"Small");
    EXPECT_EQ(Names.back(), u"Extra");
    // Lookup ignores case and walks to the ancestors.
    const TPropInfo* P = GetPropInfo(TProbeChild::StaticClass(), u"wIDTH");
    ASSERT_NE(P, nullptr);
    EXPECT_EQ(P->Owner, TProbe::StaticClass());
    EXPECT_EQ(GetPropInfo(TProbe::StaticClass(), u"Extra"), nullptr);
    EXPECT_EQ(GetPropInfo(TProbe::StaticClass(), u"Nothing"), nullptr);
    // TComponent publishes its name and tag.
    EXPECT_NE(GetPropInfo(TComponent::StaticClass(), u"Name"), nullptr);
    EXPECT_NE(GetPropInfo(TComponent::StaticClass(), u"Tag"), nullptr);
}

TEST(TypInfo, KindsFollowTheAccessorTypes)
{
    struct TCase {
        const char16_t* Name;
        TTypeKind Kind;
        TOrdType Ord;
    };
    const TCase Cases[] = {
        { u"Width", tkInteger, otSLong },
        { u"Small", tkInteger, otSByte },
        { u"Level", tkInteger, otUByte },
        { u"Wide", tkInteger, otUWord },
        { u"Big", tkInteger, otULong },
        { u"Letter", tkChar, otUWord },
        { u"Tint", tkEnumeration, otUByte },
        { u"Visible", tkEnumeration, otUByte },
        { u"Tints", tkSet, otUQWord },
        { u"Huge", tkInt64, otSQWord },
        { u"Unsigned", tkInt64, otUQWord },
    };
    for (const TCase& C : Cases) {
        const TPropInfo* P = GetPropInfo(TProbe::StaticClass(), C.Name);
        ASSERT_NE(P, nullptr) << StringToUTF8(C.Name);
        EXPECT_EQ(P->PropType->Kind, C.Kind) << StringToUTF8(C.Name);
        EXPECT_EQ(P->PropType->OrdType, C.Ord) << StringToUTF8(C.Name);
    }
    auto Kind = [](const char16_t* Name) { return GetPropInfo(TProbe::StaticClass(), Name)->PropType; };
    EXPECT_EQ(Kind(u"Ratio")->Kind, tkFloat);
    EXPECT_FALSE(Kind(u"Ratio")->IsDateTime());
    EXPECT_TRUE(Kind(u"When")->IsDateTime());
    EXPECT_EQ(Kind(u"Caption")->Kind, tkUString);
    EXPECT_EQ(Kind(u"Data")->Kind, tkVariant);
    EXPECT_EQ(Kind(u"Lines")->Kind, tkClass);
    EXPECT_EQ(Kind(u"Lines")->ClassType, TStrings::StaticClass());
    EXPECT_EQ(Kind(u"OnPing")->Kind, tkMethod);
    EXPECT_EQ(Kind(u"Tints")->CompType, Kind(u"Tint"));
    EXPECT_EQ(GetEnumName(Kind(u"Tint"), 2), u"tiBlue");
    EXPECT_EQ(GetEnumName(Kind(u"Tint"), 3), u"");
    EXPECT_EQ(GetEnumValue(Kind(u"Tint"), u"TIGREEN"), 1);
    EXPECT_EQ(GetEnumValue(Kind(u"Tint"), u"tiPink"), -1);
    EXPECT_EQ(GetEnumName(Kind(u"Visible"), 1), u"True");
}

TEST(TypInfo, SettersRunAndOrdinalsAreRangeChecked)
{
    TOwnedPtr<TProbe> Probe(New<TProbe>());
    const TPropInfo* Width = GetPropInfo(Probe.get(), u"Width");
    SetOrdProp(Probe.get(), Width, 7);
    EXPECT_EQ(Probe->Width(), 7);
    EXPECT_EQ(Probe->SetCalls, 1);
    struct TCase {
        const char16_t* Name;
        Int64 Value;
    };
    const TCase OutOfRange[] = { { u"Level", 256 }, { u"Level", -1 }, { u"Small", 128 }, { u"Tint", 3 },
        { u"Visible", 2 }, { u"Tints", 8 }, { u"Big", Int64(1) << 32 } };
    for (const TCase& C : OutOfRange)
        EXPECT_THROW(SetOrdProp(Probe.get(), GetPropInfo(Probe.get(), C.Name), C.Value), EPropertyError)
            << StringToUTF8(C.Name) << " " << C.Value;
    EXPECT_THROW(SetOrdProp(Probe.get(), GetPropInfo(Probe.get(), u"Caption"), 1), EPropertyError);
    EXPECT_THROW(SetStrProp(Probe.get(), Width, u"x"), EPropertyError);
    EXPECT_THROW(SetObjectProp(Probe.get(), GetPropInfo(Probe.get(), u"Lines"), nullptr), EPropertyError);
    EXPECT_EQ(GetObjectProp(Probe.get(), GetPropInfo(Probe.get(), u"Lines")), Probe->Lines());
}

TEST(TypInfo, ValuesTravelAsTextBothWays)
{
    struct TCase {
        const char16_t* Name;
        const char16_t* Text;
        const char16_t* Back; // null: as given
    };
    const TCase Cases[] = {
        { u"Width", u"-42", nullptr },
        { u"Width", u"$10", u"16" },
        { u"Big", u"4294967295", nullptr },
        { u"Letter", u"\u00e9", nullptr },
        { u"Tint", u"tiblue", u"tiBlue" },
        { u"Visible", u"False", nullptr },
        { u"Tints", u"[tiRed,tiBlue]", nullptr },
        { u"Tints", u"[ tiBlue , tiGreen ]", u"[tiGreen,tiBlue]" },
        { u"Tints", u"[]", nullptr },
        { u"Ratio", u"0.1", nullptr },
        { u"Ratio", u"-2.5E-300", nullptr },
        { u"Ratio", u"3", nullptr },
        { u"When", u"45000.75", nullptr },
        { u"Caption", u" it's ", nullptr },
        { u"Huge", u"-9223372036854775808", nullptr },
        { u"Unsigned", u"18446744073709551615", nullptr },
        { u"Data", u"text", nullptr },
    };
    TOwnedPtr<TProbe> Probe(New<TProbe>());
    for (const TCase& C : Cases) {
        const TPropInfo* P = GetPropInfo(Probe.get(), C.Name);
        SetPropValueText(Probe.get(), P, C.Text);
        EXPECT_EQ(GetPropValueText(Probe.get(), P), C.Back ? C.Back : C.Text) << StringToUTF8(C.Text);
    }
    const TCase Bad[] = {
        { u"Width", u"12x", nullptr },
        { u"Width", u"2147483648", nullptr },
        { u"Level", u"300", nullptr },
        { u"Letter", u"ab", nullptr },
        { u"Tint", u"tiPink", nullptr },
        { u"Tints", u"[tiRed,tiPink]", nullptr },
        { u"Tints", u"[tiRed", nullptr },
        { u"Ratio", u"1,5", nullptr },
        { u"Ratio", u"", nullptr },
        { u"Unsigned", u"-1", nullptr },
        { u"Unsigned", u"18446744073709551616", nullptr },
    };
    for (const TCase& C : Bad)
        EXPECT_THROW(SetPropValueText(Probe.get(), GetPropInfo(Probe.get(), C.Name), C.Text), EConvertError)
            << StringToUTF8(C.Name) << " " << StringToUTF8(C.Text);
    EXPECT_THROW(GetPropValueText(Probe.get(), GetPropInfo(Probe.get(), u"Lines")), EConvertError);
}

TEST(TypInfo, VariantsKeepTheirValues)
{
    TOwnedPtr<TProbe> Probe(New<TProbe>());
    const TPropInfo* Data = GetPropInfo(Probe.get(), u"Data");
    const TVariant Values[] = { TVariant(), TVariant::Null(), TVariant(Integer(5)), TVariant(Int64(1) << 40),
        TVariant(2.5), TVariant(true), TVariant(u"x") };
    for (const TVariant& V : Values) {
        SetVariantProp(Probe.get(), Data, V);
        EXPECT_EQ(GetVariantProp(Probe.get(), Data), V);
    }
    EXPECT_EQ(VarToStr(TVariant(true)), u"True");
    EXPECT_EQ(VarToStr(TVariant::Null()), u"");
    EXPECT_EQ(VarToStr(TVariant(Int64(1) << 40)), u"1099511627776");
}

TEST(TypInfo, StoredAndDefaultDecideWhatNeedsStoring)
{
    TOwnedPtr<TProbe> Probe(New<TProbe>());
    auto Prop = [&](const char16_t* Name) { return GetPropInfo(Probe.get(), Name); };
    EXPECT_TRUE(IsDefaultPropValue(Probe.get(), Prop(u"Width")));
    EXPECT_TRUE(IsDefaultPropValue(Probe.get(), Prop(u"Visible")));
    EXPECT_FALSE(IsDefaultPropValue(Probe.get(), Prop(u"Level"))); // no default declared
    EXPECT_TRUE(IsDefaultPropValue(Probe.get(), Prop(u"Ratio")));
    EXPECT_TRUE(IsDefaultPropValue(Probe.get(), Prop(u"Caption")));
    EXPECT_TRUE(IsDefaultPropValue(Probe.get(), Prop(u"Data")));
    EXPECT_TRUE(IsDefaultPropValue(Probe.get(), Prop(u"OnPing")));
    Probe->SetWidth(99);
    Probe->SetCaption(u"x");
    EXPECT_FALSE(IsDefaultPropValue(Probe.get(), Prop(u"Width")));
    EXPECT_FALSE(IsDefaultPropValue(Probe.get(), Prop(u"Caption")));
    EXPECT_TRUE(IsStoredProp(Probe.get(), Prop(u"Caption")));
    Probe->SetCaption(u"secret");
    EXPECT_FALSE(IsStoredProp(Probe.get(), Prop(u"Caption")));
    TOwnedPtr<TComponent> C(New<TComponent>(nullptr));
    EXPECT_FALSE(IsStoredProp(C.get(), GetPropInfo(C.get(), u"Name")));
}

TEST(TypInfo, EventsBindToPublishedMethodsByName)
{
    TOwnedPtr<TProbeChild> Root(New<TProbeChild>());
    TOwnedPtr<TProbe> Probe(New<TProbe>());
    EXPECT_EQ(MethodAddress(TProbeChild::StaticClass(), u"PING"), MethodAddress(TProbe::StaticClass(), u"Ping"));
    EXPECT_EQ(MethodAddress(TProbe::StaticClass(), u"Pong"), nullptr);
    const TMethodInfo* Ping = MethodAddress(TProbe::StaticClass(), u"Ping");
    EXPECT_EQ(MethodName(TProbeChild::StaticClass(), Ping), u"Ping");
    EXPECT_EQ(MethodName(TComponent::StaticClass(), Ping), u"");

    const TPropInfo* OnPing = GetPropInfo(Probe.get(), u"OnPing");
    SetPropValueText(Probe.get(), OnPing, u"ping", Root.get());
    EXPECT_EQ(GetPropValueText(Probe.get(), OnPing), u"Ping");
    Probe->OnPing(Probe.get());
    EXPECT_EQ(Root->Pinged, Probe.get());

    const TPropInfo* OnTwice = GetPropInfo(Probe.get(), u"OnTwice");
    SetPropValueText(Probe.get(), OnTwice, u"Twice", Root.get());
    EXPECT_EQ(Probe->OnTwice(21), 42);
    // A method of another signature, an unknown name or no root to look in.
    EXPECT_THROW(SetPropValueText(Probe.get(), OnTwice, u"Ping", Root.get()), EConvertError);
    EXPECT_THROW(SetPropValueText(Probe.get(), OnPing, u"Pong", Root.get()), EConvertError);
    EXPECT_THROW(SetPropValueText(Probe.get(), OnPing, u"Ping"), EConvertError);
    SetPropValueText(Probe.get(), OnPing, u"");
    EXPECT_FALSE(Probe->OnPing);
    Probe->OnPing(nullptr); // unassigned: nothing happens
}

TEST(TypInfo, ObjectKindsForStoring)
{
    TOwnedPtr<TStringList> Strings(New<TStringList>());
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    TOwnedPtr<TCollection> Collection(New<TCollection>(TCollectionItem::StaticClass()));
    TOwnedPtr<TObjectList> Objects(New<TObjectList>());
    TOwnedPtr<TComponentList> Components(New<TComponentList>());
    TOwnedPtr<TComponent> Component(New<TComponent>(nullptr));
    TOwnedPtr<TProbe> Probe(New<TProbe>());
    TOwnedPtr<TObject> Plain(New<TObject>());
    EXPECT_EQ(PropObjectKind(nullptr), okNone);
    EXPECT_EQ(PropObjectKind(Strings.get()), okStrings);
    EXPECT_EQ(PropObjectKind(Stream.get()), okStream);
    EXPECT_EQ(PropObjectKind(Collection.get()), okCollection);
    EXPECT_EQ(PropObjectKind(Objects.get()), okObjectList);
    EXPECT_EQ(PropObjectKind(Components.get()), okComponentList);
    EXPECT_EQ(PropObjectKind(Component.get()), okComponent);
    EXPECT_EQ(PropObjectKind(Probe.get()), okPersistent);
    EXPECT_EQ(PropObjectKind(Plain.get()), okObject);
}

}
