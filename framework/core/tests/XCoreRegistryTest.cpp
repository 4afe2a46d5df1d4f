#include "core/XCore.Registry.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace {
class XRegistryTest : public testing::Test {
protected:
    Testing::TTempFolder Folder { "xregistry-test" };
    void SetUp() override { SetRegistryFolder(UTF8ToString(Folder.Path().string())); }
    void TearDown() override { SetRegistryFolder({}); }
};
}

TEST_F(XRegistryTest, ReadsWithDefaults)
{
    auto Reg = MakeOwned<TXRegistry>();
    ASSERT_TRUE(Reg->OpenKey(u"Software\\Test", true));
    Reg->WriteInteger(u"Number", 42);
    Reg->WriteString(u"Text", u"hello");
    EXPECT_EQ(Reg->ReadIntegerDef(u"Number", 7), 42);
    EXPECT_EQ(Reg->ReadIntegerDef(u"Text", 7), 7);
    EXPECT_EQ(Reg->ReadIntegerDef(u"Missing", 7), 7);
    EXPECT_EQ(Reg->ReadStringDef(u"Text", u"d"), u"hello");
    EXPECT_EQ(Reg->ReadStringDef(u"Number", u"d"), u"d");
    EXPECT_EQ(Reg->ReadStringDef(u"Missing", u"d"), u"d");
    Reg->CloseKey();
    EXPECT_EQ(Reg->ReadIntegerDef(u"Number", 7), 7);
}
