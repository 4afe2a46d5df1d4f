// The recovery program's settings in the registry, under a temporary
// XDG_CONFIG_HOME: defaults, a round trip of every property, values
// written by other tools, and damaged keys.
#include "core/XCore.Strings.h"
#include "rtl/testing/Testing.h"
#include "win/Registry.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Ini.h"
#include <gtest/gtest.h>

namespace {

using namespace Testing;

const String Key = u"Software\\Quorvale\\KXR7\\";

class RecoverySettings : public testing::Test {
protected:
    TTempFolder Config { "kxr-settings" };
    TScopedEnv ConfigVar { "XDG_CONFIG_HOME", Config.Path().string() };
    void SetUp() override { SetRegistryFolder({}); }
    void TearDown() override { SetRegistryFolder({}); }

    static TOwnedPtr<TXKXRIni> NewIni()
    {
        return TOwnedPtr<TXKXRIni>(New<TXKXRIni>(static_cast<TComponent*>(nullptr)));
    }
    static std::vector<bool> Flags(TXKXRIni* Ini)
    {
        std::vector<bool> Out;
        for (Integer I = 0; I < DRFileTypeFlagCount; ++I) {
            bool On = false;
            EXPECT_TRUE(GetPropBool(Ini->FileTypes(), TXDRFileTypes::FlagName(I), On));
            Out.push_back(On);
        }
        return Out;
    }
    static std::vector<bool> DefaultFlags()
    {
        TOwnedPtr<TXDRFileTypes> Types(New<TXDRFileTypes>());
        Types->SelectDefaults();
        std::vector<bool> Out;
        for (Integer I = 0; I < DRFileTypeFlagCount; ++I) {
            bool On = false;
            GetPropBool(Types.get(), TXDRFileTypes::FlagName(I), On);
            Out.push_back(On);
        }
        return Out;
    }
    static void ExpectDefaults(TXKXRIni* Ini)
    {
        EXPECT_TRUE(Ini->ShowThumbnails());
        EXPECT_EQ(Ini->Sort(), 0);
        EXPECT_EQ(Ini->SortColumn(), 0);
        EXPECT_EQ(Ini->lgID(), 9u);
        EXPECT_EQ(Flags(Ini), DefaultFlags());
    }
    static void Write(const String& Path, const std::function<void(TRegistry*)>& Body)
    {
        auto Reg = MakeOwned<TRegistry>();
        ASSERT_TRUE(Reg->OpenKey(u"\\" + Path, true));
        Body(Reg.get());
    }
};

} // namespace

TEST_F(RecoverySettings, AMissingKeyLeavesTheDefaults)
{
    auto Ini = NewIni();
    Ini->SetShowThumbnails(false);
    Ini->SetSort(3);
    Ini->FileTypes()->Clear();
    EXPECT_FALSE(Ini->ResetFromRegistry(Key));
    ExpectDefaults(Ini.get());
    // Defaults: nineteen flags, sixteen extensions of the Advanced mode.
    auto List = MakeOwned<TStringList>();
    Ini->FileTypes()->GetExtensions(List.get());
    EXPECT_EQ(List->Count(), 16);
}

TEST_F(RecoverySettings, EveryPropertyRoundTrips)
{
    auto Saved = NewIni();
    Saved->SetDefaults();
    Saved->SetShowThumbnails(false);
    Saved->SetSort(-1);
    Saved->SetSortColumn(3);
    Saved->SetlgID(1049);
    Saved->SetDocType(u"KXR");
    Saved->SetDocVer(7);
    // Every other flag flipped from the defaults.
    for (Integer I = 0; I < DRFileTypeFlagCount; I += 2) {
        bool On = false;
        GetPropBool(Saved->FileTypes(), TXDRFileTypes::FlagName(I), On);
        SetPropText(Saved->FileTypes(), TXDRFileTypes::FlagName(I), On ? u"False" : u"True");
    }
    ASSERT_TRUE(Saved->SaveToRegistry(Key));

    auto Loaded = NewIni();
    EXPECT_TRUE(Loaded->ResetFromRegistry(Key));
    EXPECT_FALSE(Loaded->ShowThumbnails());
    EXPECT_EQ(Loaded->Sort(), -1);
    EXPECT_EQ(Loaded->SortColumn(), 3);
    EXPECT_EQ(Loaded->lgID(), 1049u);
    EXPECT_EQ(Loaded->DocType(), u"KXR");
    EXPECT_EQ(Loaded->DocVer(), 7);
    EXPECT_EQ(Flags(Loaded.get()), Flags(Saved.get()));
    EXPECT_NE(Flags(Loaded.get()), DefaultFlags());
}

TEST_F(RecoverySettings, ValuesOfOtherToolsAndUnknownNamesAndSubkeys)
{
    Write(Key, [](TRegistry* R) {
        R->WriteInteger(u"Sort", 42);
        R->WriteString(u"SortColumn", u"2");
        R->WriteString(u"NoSuchSetting", u"1");
    });
    Write(Key + u"FileTypes\\", [](TRegistry* R) { R->WriteString(u"_wav", u"True"); });
    auto Ini = NewIni();
    EXPECT_TRUE(Ini->ResetFromRegistry(Key));
    EXPECT_EQ(Ini->Sort(), 42);
    EXPECT_EQ(Ini->SortColumn(), 2);
    bool Wav = false;
    EXPECT_TRUE(GetPropBool(Ini->FileTypes(), u"_wav", Wav) && Wav);

    // A subkey that names no object property fails the load; what was read
    // before it stays.
    Write(Key + u"Unknown\\", [](TRegistry* R) { R->WriteString(u"X", u"1"); });
    Write(Key, [](TRegistry* R) { R->WriteInteger(u"Sort", 7); });
    auto Other = NewIni();
    Other->SetDefaults();
    EXPECT_FALSE(Other->LoadFromRegistry(Key));
    EXPECT_EQ(Other->Sort(), 7);
    EXPECT_TRUE(GetPropBool(Other->FileTypes(), u"_wav", Wav) && Wav);
}
