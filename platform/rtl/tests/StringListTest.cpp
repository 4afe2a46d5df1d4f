#include "rtl/Format.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>

namespace {

using TList = TOwnedPtr<TStringList>;

TList ListOf(std::initializer_list<const char16_t*> Lines)
{
    TList L(New<TStringList>());
    for (const char16_t* S : Lines)
        L->Add(S);
    return L;
}

std::vector<String> Lines(const TStrings* L)
{
    std::vector<String> Out;
    for (Integer I = 0; I < L->Count(); ++I)
        Out.push_back(L->Strings(I));
    return Out;
}

// Counts its own destruction, to see who frees owned objects.
class TTracked : public TObject {
public:
    explicit TTracked(int* Freed = nullptr)
        : FFreed(Freed)
    { }
    ~TTracked() override
    {
        if (FFreed)
            ++*FFreed;
    }

private:
    int* FFreed;
};

template<class F>
String ErrorOf(F&& Fn)
{
    try {
        Fn();
    } catch (const EStringListError& E) {
        return E.Message();
    }
    return u"(no error)";
}

}

TEST(StringList, SortedAddFollowsTheDuplicatesRule)
{
    struct TCase {
        TDuplicates Dup;
        bool CaseSensitive;
        std::vector<String> Expected;
    };
    const TCase Cases[] = {
        { dupIgnore, false, { u"apple", u"b", u"cherry" } },
        { dupAccept, false, { u"Apple", u"apple", u"b", u"Cherry", u"cherry" } },
        { dupIgnore, true, { u"Apple", u"Cherry", u"apple", u"b", u"cherry" } },
    };
    for (const auto& C : Cases) {
        TList L(New<TStringList>());
        L->SetDuplicates(C.Dup);
        L->SetCaseSensitive(C.CaseSensitive);
        L->SetSorted(true);
        for (const char16_t* S : { u"cherry", u"apple", u"b", u"Cherry", u"Apple" })
            L->Add(S);
        EXPECT_EQ(Lines(L.get()), C.Expected) << C.Dup << C.CaseSensitive;
        Integer Index;
        EXPECT_TRUE(L->Find(u"B", Index) || C.CaseSensitive);
        EXPECT_EQ(L->IndexOf(u"zzz"), -1);
        for (Integer I = 0; I < L->Count(); ++I)
            EXPECT_GE(L->IndexOf(L->Strings(I)), 0);
    }
    // Equal texts: the new one goes before, Find answers the first.
    TList A = ListOf({});
    A->SetDuplicates(dupAccept);
    A->SetSorted(true);
    A->AddObject(u"x", reinterpret_cast<TObject*>(1));
    EXPECT_EQ(A->AddObject(u"X", reinterpret_cast<TObject*>(2)), 0);
    Integer Index;
    ASSERT_TRUE(A->Find(u"x", Index));
    EXPECT_EQ(Index, 0);
    EXPECT_EQ(A->Find(u"w", Index), false);
    EXPECT_EQ(Index, 0);
    EXPECT_EQ(A->Find(u"y", Index), false);
    EXPECT_EQ(Index, 2);

    TList E = ListOf({});
    E->SetDuplicates(dupError);
    E->SetSorted(true);
    E->Add(u"one");
    EXPECT_EQ(ErrorOf([&] { E->Add(u"ONE"); }), u"String list does not allow duplicates");
    EXPECT_EQ(E->Count(), 1);
    // The duplicate rule is for sorted lists only.
    TList U = ListOf({ u"a", u"a" });
    U->SetDuplicates(dupError);
    U->Add(u"a");
    EXPECT_EQ(U->Count(), 3);
}

TEST(StringList, ErrorsLeaveTheListAlone)
{
    TList L = ListOf({ u"a", u"b" });
    EXPECT_EQ(ErrorOf([&] { L->Strings(2); }), u"List index out of bounds (2)");
    EXPECT_EQ(ErrorOf([&] { L->Strings(-1); }), u"List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { L->Delete(5); }), u"List index out of bounds (5)");
    EXPECT_EQ(ErrorOf([&] { L->Insert(3, u"x"); }), u"List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { L->Exchange(0, 2); }), u"List index out of bounds (2)");
    EXPECT_EQ(ErrorOf([&] { L->SetObjects(2, nullptr); }), u"List index out of bounds (2)");
    L->Insert(2, u"c"); // at the end is allowed
    L->SetSorted(true);
    EXPECT_EQ(ErrorOf([&] { L->Insert(0, u"x"); }), u"Operation not allowed on sorted list");
    EXPECT_EQ(ErrorOf([&] { L->SetStrings(0, u"x"); }), u"Operation not allowed on sorted list");
    EXPECT_EQ(Lines(L.get()), (std::vector<String> { u"a", u"b", u"c" }));
}

TEST(StringList, NameValueLines)
{
    TList L = ListOf({ u"Width=640", u"plain", u"Empty=", u"Path=a=b" });
    EXPECT_EQ(L->Names(0), u"Width");
    EXPECT_EQ(L->Names(1), u"");
    EXPECT_EQ(L->ValueFromIndex(1), u""); // not "lain"
    EXPECT_EQ(L->ValueFromIndex(3), u"a=b");
    EXPECT_EQ(L->Values(u"width"), u"640");
    EXPECT_EQ(L->Values(u"Path"), u"a=b");
    EXPECT_EQ(L->Values(u"Missing"), u"");
    EXPECT_EQ(L->IndexOfName(u"EMPTY"), 2);
    L->SetValues(u"Width", u"800");
    L->SetValues(u"Height", u"600");
    L->SetValues(u"Empty", u"");
    L->SetValueFromIndex(1, u"");
    EXPECT_EQ(Lines(L.get()), (std::vector<String> { u"Width=800", u"Path=a=b", u"Height=600" }));
    L->SetValueFromIndex(1, u"c");
    EXPECT_EQ(L->Strings(1), u"Path=c");
    L->SetNameValueSeparator(u':');
    L->SetValues(u"k", u"v");
    EXPECT_EQ(L->Strings(3), u"k:v");

    // A sorted list takes a new name without leaving an empty line behind.
    TList S = ListOf({ u"b=2" });
    S->SetSorted(true);
    S->SetValues(u"a", u"1");
    EXPECT_EQ(Lines(S.get()), (std::vector<String> { u"a=1", u"b=2" }));
}

TEST(StringList, TextWithLineBreaks)
{
    struct TCase {
        const char16_t* Text;
        std::vector<String> Lines;
    };
    const TCase Cases[] = {
        { u"", {} },
        { u"a", { u"a" } },
        { u"a\r\nb\r\n", { u"a", u"b" } },
        { u"a\nb\rc", { u"a", u"b", u"c" } },
        { u"\r\n", { u"" } },
        { u"a\r\r\nb", { u"a", u"", u"b" } },
        { u"a\n\nb\n", { u"a", u"", u"b" } },
        { u"a\n\r", { u"a", u"" } },
    };
    for (const auto& C : Cases) {
        TList L(New<TStringList>());
        L->SetText(C.Text);
        EXPECT_EQ(Lines(L.get()), C.Lines) << StringToUTF8(C.Text);
    }
    TList L = ListOf({ u"a", u"", u"b" });
    EXPECT_EQ(L->Text(), u"a\r\n\r\nb\r\n");
    L->SetLineBreak(u"|");
    EXPECT_EQ(L->Text(), u"a||b|");
    L->SetText(u"x|y\r\nz");
    EXPECT_EQ(Lines(L.get()), (std::vector<String> { u"x", u"y\r\nz" }));
    EXPECT_EQ(ListOf({})->Text(), u"");
}

TEST(StringList, DelimitedText)
{
    struct TCase {
        std::vector<String> Lines;
        const char16_t* Comma;
    };
    const TCase RoundTrips[] = {
        { { u"a", u"b c", u"d\"e", u"" }, u"a,\"b c\",\"d\"\"e\"," },
        { { u"" }, u"\"\"" },
        { { u"x,y", u"z" }, u"\"x,y\",z" },
        { {}, u"" },
    };
    for (const auto& C : RoundTrips) {
        TList L(New<TStringList>());
        for (const String& S : C.Lines)
            L->Add(S);
        EXPECT_EQ(L->CommaText(), C.Comma);
        TList Back(New<TStringList>());
        Back->SetCommaText(C.Comma);
        EXPECT_EQ(Lines(Back.get()), C.Lines) << StringToUTF8(C.Comma);
    }

    struct TParse {
        String Text;
        bool Strict;
        std::vector<String> Lines;
    };
    const TParse Parses[] = {
        { u"a b,c", false, { u"a", u"b", u"c" } }, // blanks separate too
        { u"  a , b  ", false, { u"a", u"b" } },
        { u"a,", false, { u"a", u"" } },
        { u",a", false, { u"", u"a" } },
        { u"\"a\"b,c", false, { u"a", u"b", u"c" } },
        { u"\"unclosed, c", false, { u"unclosed, c" } },
        { u"a b, c", true, { u"a b", u" c" } },
        { String(u"a\0b,c", 5), false, { u"a" } }, // a NUL ends the text
        { u"\u0001\u0002", false, {} },
    };
    for (const auto& P : Parses) {
        TList L(New<TStringList>());
        L->SetStrictDelimiter(P.Strict);
        L->SetDelimitedText(P.Text);
        EXPECT_EQ(Lines(L.get()), P.Lines) << StringToUTF8(P.Text);
    }

    TList L = ListOf({ u"a b", u"c" });
    L->SetDelimiter(u';');
    L->SetQuoteChar(u'\'');
    L->SetStrictDelimiter(true);
    EXPECT_EQ(L->DelimitedText(), u"a b;c");
    EXPECT_EQ(L->CommaText(), u"\"a b\",c");
    EXPECT_EQ(L->Delimiter(), u';'); // CommaText leaves the settings as they were
    L->SetDelimitedText(u"'x;y';z");
    EXPECT_EQ(Lines(L.get()), (std::vector<String> { u"x;y", u"z" }));
}

TEST(StringList, ChangeEventsWaitForTheLastEndUpdate)
{
    TList L(New<TStringList>());
    std::vector<std::string> Log;
    L->OnChanging = [&](TObject* Sender) {
        EXPECT_EQ(Sender, L.get());
        Log.push_back("changing");
    };
    L->OnChange = [&](TObject*) { Log.push_back("change"); };
    L->Add(u"a");
    EXPECT_EQ(Log, (std::vector<std::string> { "changing", "change" }));
    Log.clear();
    L->BeginUpdate();
    L->BeginUpdate();
    L->Add(u"b");
    L->SetText(u"x\ny");
    L->EndUpdate();
    EXPECT_TRUE(Log == (std::vector<std::string> { "changing" }));
    L->EndUpdate();
    EXPECT_EQ(Log, (std::vector<std::string> { "changing", "change" }));
    L->EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(L->UpdateCount(), 0);
}

TEST(StringList, OwnedObjectsAreFreedOnce)
{
    int Freed = 0;
    {
        TList L(New<TStringList>(true));
        for (int I = 0; I < 4; ++I)
            L->AddObject(String(1, Char(u'a' + I)), new TTracked(&Freed));
        L->Delete(0);
        EXPECT_EQ(Freed, 1);
        L->Exchange(0, 2);
        EXPECT_EQ(L->IndexOfObject(L->Objects(1)), 1);
        L->Clear();
        EXPECT_EQ(Freed, 4);
        L->AddObject(u"z", new TTracked(&Freed));
    }
    EXPECT_EQ(Freed, 5);
    // Not owning: nothing freed.
    TTracked Kept;
    {
        TList L(New<TStringList>());
        L->AddObject(u"k", &Kept);
        L->Delete(0);
    }
}

TEST(StringList, SortAssignAndEquals)
{
    TList L = ListOf({ u"b", u"C", u"a", u"B" });
    L->Sort();
    EXPECT_EQ(Lines(L.get()), (std::vector<String> { u"a", u"b", u"B", u"C" })); // stable for equal texts
    L->CustomSort(
        [](TStringList* List, Integer A, Integer B) { return CompareStr(List->Strings(B), List->Strings(A)); });
    EXPECT_EQ(Lines(L.get()), (std::vector<String> { u"b", u"a", u"C", u"B" }));

    TList Copy(New<TStringList>());
    Copy->SetDelimiter(u';');
    L->SetDelimiter(u'|');
    L->SetObjects(0, L.get());
    Copy->Add(u"old");
    Copy->Assign(L.get());
    EXPECT_TRUE(Copy->Equals(L.get()));
    EXPECT_EQ(Copy->Objects(0), L.get());
    EXPECT_EQ(Copy->Delimiter(), u'|');
    Copy->SetStrings(0, u"B");
    EXPECT_FALSE(Copy->Equals(L.get())); // case counts
    Copy->AddStrings(Copy.get());
    EXPECT_EQ(Copy->Count(), 8);
    EXPECT_THROW(Copy->Assign(nullptr), EConvertError);

    // Switching case sensitivity re-sorts a sorted list.
    TList S = ListOf({ u"b", u"A", u"a", u"B" });
    S->SetDuplicates(dupAccept);
    S->SetSorted(true);
    S->SetCaseSensitive(true);
    EXPECT_EQ(Lines(S.get()), (std::vector<String> { u"A", u"B", u"a", u"b" }));
    EXPECT_EQ(S->IndexOf(u"a"), 2);

    // A comparer that contradicts itself must not break the list.
    TList R(New<TStringList>());
    for (int I = 0; I < 100; ++I)
        R->Add(IntToStr(I));
    unsigned Seed = 7;
    R->CustomSort(
        [&](TStringList*, Integer, Integer) { return Integer((Seed = Seed * 1103515245 + 12345) >> 16) % 3 - 1; });
    R->SetSorted(true);
    for (int I = 0; I < 100; ++I)
        EXPECT_GE(R->IndexOf(IntToStr(I)), 0);
}

TEST(StringList, StreamsAndFiles)
{
    TList L = ListOf({ u"\u00E9t\u00E9", u"\u20AC" });
    TOwnedPtr<TBytesStream> Mem(New<TBytesStream>());
    L->SaveToStream(Mem.get());
    std::string Saved(Mem->Bytes().begin(), Mem->Bytes().begin() + Mem->Size());
    EXPECT_EQ(Saved, "\xC3\xA9t\xC3\xA9\r\n\xE2\x82\xAC\r\n");

    struct TCase {
        std::string Bytes;
        Word CodePage;
        std::vector<String> Lines;
    };
    const TCase Cases[] = {
        { "\xEF\xBB\xBF"
          "a\nb",
            CP_UTF8, { u"a", u"b" } },
        { "a\r\n\xC3\xA9", CP_UTF8, { u"a", u"\u00E9" } },
        { "\xE9\x80", CP_1252, { u"\u00E9\u20AC" } },
        { "\xEF\xBB\xBF", CP_UTF8, {} },
        { "\xFF\xFE", CP_UTF8, { u"\uFFFD\uFFFD" } },
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TBytesStream> In(New<TBytesStream>(std::vector<Byte>(C.Bytes.begin(), C.Bytes.end())));
        TList R(New<TStringList>());
        R->LoadFromStream(In.get(), C.CodePage);
        EXPECT_EQ(Lines(R.get()), C.Lines);
    }
    TOwnedPtr<TBytesStream> Ansi(New<TBytesStream>());
    L->SaveToStream(Ansi.get(), CP_1252);
    EXPECT_EQ(std::string(Ansi->Bytes().begin(), Ansi->Bytes().begin() + Ansi->Size()), "\xE9t\xE9\r\n\x80\r\n");
    EXPECT_THROW(L->SaveToStream(Ansi.get(), 437), EConvertError);

    Testing::TTempFolder Dir;
    const String Name = Dir.File("list.txt");
    {
        std::ofstream Old(Dir / "list.txt");
        Old << "old content";
    }
    L->SaveToFile(Name);
    TList R(New<TStringList>());
    R->LoadFromFile(Name);
    EXPECT_TRUE(R->Equals(L.get()));
    // Saving into a folder that is not there fails and touches nothing.
    EXPECT_ANY_THROW(L->SaveToFile(Dir.File("missing/list.txt")));
    EXPECT_ANY_THROW(R->LoadFromFile(Dir.File("none.txt")));
    std::filesystem::remove(Dir / "list.txt");
    EXPECT_TRUE(std::filesystem::is_empty(Dir.Path())); // no temporary file left behind
}
