#include "rtl/testing/FuzzTarget.h"
#include "win/RegistryStore.h"

using namespace XRegistryStore;

// A file that parses is written again; that text parses to the same file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TKey Root;
    if (!Parse(std::string_view(reinterpret_cast<const char*>(Data), Size), Root))
        return 0;
    const std::string Text = Serialize(Root);
    TKey Again;
    if (!Parse(Text, Again) || Serialize(Again) != Text)
        __builtin_trap();
    return 0;
}

namespace {

RawBytes Utf16(StringView Text)
{
    return RawBytes(reinterpret_cast<const char*>(Text.data()), Text.size() * 2);
}

void Put(TKey& Key, StringView Name, DWORD Type, RawBytes Data)
{
    Key.Values[FoldName(Name)] = TValue { String(Name), Type, std::move(Data) };
}

} // namespace

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    TKey Root;
    TKey& App = Root.Keys[FoldName(u"Software")].Keys[FoldName(u"Quorvale")];
    Root.Keys[FoldName(u"Software")].Name = u"Software";
    App.Name = u"Quorvale";
    Put(App, u"", REG_SZ, Utf16(u"default"));
    Put(App, u"Title\ttab", REG_SZ, Utf16(u"Gr\u00fc\u00dfe \\ \r\n \xD800 end"));
    Put(App, u"Path", REG_EXPAND_SZ, Utf16(u"%HOME%/x"));
    Put(App, u"Count", REG_DWORD, RawBytes("\x2a\0\0\0", 4));
    Put(App, u"Big", REG_QWORD, RawBytes("\1\2\3\4\5\6\7\x08", 8));
    Put(App, u"Blob", REG_BINARY, RawBytes("\0\xff\x10", 3));
    Put(App, u"List", REG_MULTI_SZ, Utf16(StringView(u"a\0bc\0\0", 6)));
    TKey& Deep = App.Keys[FoldName(u"Window")].Keys[FoldName(u"Main")];
    App.Keys[FoldName(u"Window")].Name = u"Window";
    Deep.Name = u"Main";
    Put(Deep, u"Left", REG_DWORD, RawBytes("\xff\xff\xff\xff", 4));
    Seeds.Add("registry.txt", Serialize(Root));
    Seeds.Add("empty.txt", Serialize(TKey()));
    // The older form, whose key lines give whole paths.
    Seeds.Add("paths.txt",
        "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER\nK\tHKEY_CURRENT_USER\tSoftware\tQuorvale\nV\t1\tA\t\"x\n"
        "K\tHKEY_CURRENT_USER\tsoftware\tWindow\nV\t4\tLeft\t=7\nEnd\n");
}
