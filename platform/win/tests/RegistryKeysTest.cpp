#include "win/RegistryKeys.h"
#include "win/RegistryStore.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

class RegistryKeys : public ::testing::Test {
protected:
    Testing::TTempFolder Folder { "registry-keys-test" };

    void SetUp() override { SetRegistryFolder(UTF8ToString(Folder.Path().string())); }
    void TearDown() override { SetRegistryFolder({}); }
};

}

TEST_F(RegistryKeys, RawCalls)
{
    HKEY Key = nullptr;
    DWORD Disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Raw\\", KEY_ALL_ACCESS, &Key, &Disposition), ERROR_SUCCESS);
    EXPECT_EQ(Disposition, REG_CREATED_NEW_KEY);
    const Byte Data[] = { 1, 2, 3, 4, 5 };
    EXPECT_EQ(RegSetValueEx(Key, u"Blob", REG_BINARY, Data, 5), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(Key, u"Bad", REG_BINARY, nullptr, 5), ERROR_INVALID_PARAMETER);

    DWORD Type = 0, Size = 2;
    Byte Out[8] = {};
    EXPECT_EQ(RegQueryValueEx(Key, u"BLOB", &Type, Out, &Size), ERROR_MORE_DATA);
    EXPECT_EQ(Size, 5u);
    Size = sizeof Out;
    EXPECT_EQ(RegQueryValueEx(Key, u"blob", &Type, Out, &Size), ERROR_SUCCESS);
    EXPECT_EQ(Type, REG_BINARY);
    EXPECT_EQ(Out[4], 5);
    EXPECT_EQ(RegQueryValueEx(Key, u"none", nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    String Name;
    EXPECT_EQ(RegEnumValue(Key, 0, Name, &Type), ERROR_SUCCESS);
    EXPECT_EQ(Name, u"Blob");
    EXPECT_EQ(RegEnumValue(Key, 1, Name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyEx(HKEY_CURRENT_USER, 0, Name), ERROR_SUCCESS);
    EXPECT_EQ(Name, u"Software");
    std::vector<String> Names;
    EXPECT_EQ(RegValueNames(Key, Names), ERROR_SUCCESS);
    EXPECT_EQ(Names, std::vector<String> { u"Blob" });
    EXPECT_EQ(RegKeyNames(HKEY_CURRENT_USER, Names), ERROR_SUCCESS);
    EXPECT_EQ(Names, (std::vector<String> { u"Blob", u"Software" })); // appended

    HKEY ReadOnly = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"software\\raw", 0, KEY_READ, &ReadOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(ReadOnly, u"Blob", REG_BINARY, Data, 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(Key, u"Blob"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(Key, u"Blob"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, u""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, u"Software\\Raw"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueEx(ReadOnly, u"Blob", nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegKeyNames(ReadOnly, Names), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(ReadOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(ReadOnly), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(Key), ERROR_SUCCESS);
    String Deep;
    for (std::size_t I = 0; I <= XRegistryStore::MaxDepth; ++I)
        Deep += u"k\\";
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, Deep, KEY_ALL_ACCESS, &Key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Raw", 0, KEY_READ, &Key), ERROR_FILE_NOT_FOUND);
}
