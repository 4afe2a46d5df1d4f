#include "core/XCore.Filers.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Strings.Containers.h"
#include "core/XClasses.h"
#include "core/XCore.Engine.Progress.h"
#include "rtl/testing/Testing.h"
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

UTF8String TagBody(const UTF8String& Text, const UTF8String& Tag)
{
    UTF8String Open = "<" + Tag + ">", Close = "</" + Tag + ">";
    size_t A = Text.find(Open);
    size_t B = A == UTF8String::npos ? A : Text.find(Close, A);
    return B == UTF8String::npos ? UTF8String() : Text.substr(A + Open.size(), B - A - Open.size());
}

}

// An entry of the notes list: a named object with a text.
class TFilerTestNote : public TXNamedPersistent {
    X_CLASS(TFilerTestNote, TXNamedPersistent)
public:
    String Text;
};
X_REGISTER_CLASS(TFilerTestNote)

class TFilerTestOtherNote : public TFilerTestNote {
    X_CLASS(TFilerTestOtherNote, TFilerTestNote)
};
X_REGISTER_CLASS(TFilerTestOtherNote)

// What the test filer stores: a title, a collection of texts and a list of notes.
class TFilerTestData : public TPersistent {
    X_CLASS(TFilerTestData, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        Texts = MakeOwned<TXStringCollection<>>(static_cast<TPersistent*>(this));
        Notes = MakeOwned<TXTypedObjectList>();
        Notes->ItemClass = TFilerTestNote::StaticClass();
    }
    String Title;
    TOwnedPtr<TXStringCollection<>> Texts;
    TOwnedPtr<TXTypedObjectList> Notes;
    bool FailWrite = false;
    // The hooks raise instead of answering.
    bool RaiseInHooks = false;
};
X_REGISTER_CLASS(TFilerTestData)

class TFilerTestGroup : public TXTagFilerGroup {
    X_CLASS(TFilerTestGroup, TXTagFilerGroup)
public:
    void Create() override
    {
        inherited::Create();
        ObjectTag = "head";
        ItemTag = "item";
    }
    TFilerTestData* Owner() const { return static_cast<TFilerTestData*>(Filer->Data()); }
    bool BeforeWrite(Integer Flag) override
    {
        if (Owner()->RaiseInHooks)
            throw EConvertError(u"not now");
        return !Owner()->FailWrite;
    }
    void ObjectToText(Integer Flag, UTF8String& Text) override { Text = StringToUTF8(Owner()->Title); }
    bool ReadObjectText(const UTF8String& Text, TXProgress* Progress) override
    {
        if (Owner()->RaiseInHooks)
            throw EConvertError(u"not now");
        Owner()->Title = UTF8ToString(Text.substr(2, Text.size() - 4)); // the writer's CRLFs
        return true;
    }
    void ItemToText(TObject* Item, Integer Flag, UTF8String& Text) override
    {
        if (auto* S = DynamicCast<TXStringItem>(Item))
            Text = "<text>" + StringToUTF8(S->s()) + "</text>";
        else if (auto* N = DynamicCast<TFilerTestNote>(Item))
            Text = "<class>" + StringToUTF8(N->ClassName()) + "</class><text>" + StringToUTF8(N->Text) + "</text>";
    }
    TObject* ReadItemText(TObject* Item, const UTF8String& Text, TXProgress* Progress) override
    {
        if (auto* S = DynamicCast<TXStringItem>(Item))
            S->SetS(UTF8ToString(TagBody(Text, "text")));
        else if (auto* N = DynamicCast<TFilerTestNote>(Item))
            N->Text = UTF8ToString(TagBody(Text, "text"));
        else
            return nullptr;
        return Item;
    }
};
X_REGISTER_CLASS(TFilerTestGroup)

// Mode is the read mode: 0 replaces, 1 adds.
class TFilerTestFiler : public TXTagFiler {
    X_CLASS(TFilerTestFiler, TXTagFiler)
public:
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override
    {
        inherited::DefineGroups(AData, AMode, AParts);
        RootTag = "notes";
        ReadMode = AMode;
        auto* D = As<TFilerTestData>(AData);
        Groups()->AddNamedGroup(this, TFilerTestGroup::StaticClass(), D->Texts.get(), D, u"Texts");
        Groups()->AddNamedGroup(this, TFilerTestGroup::StaticClass(), D->Notes.get(), nullptr, u"Notes");
    }
};
X_REGISTER_CLASS(TFilerTestFiler)

// A note counted while it lives.
class TFilerCountedNote : public TFilerTestNote {
    X_CLASS(TFilerCountedNote, TFilerTestNote)
public:
    static inline int Live = 0;
    bool Rejected = false;
    void Create() override
    {
        inherited::Create();
        ++Live;
    }
    ~TFilerCountedNote() override { --Live; }
};
X_REGISTER_CLASS(TFilerCountedNote)

// Reads each item into a note of its own instead of the one it is given;
// "<refuse/>" reads nothing, "<reject/>" fails after the read.
class TFilerSwapGroup : public TFilerTestGroup {
    X_CLASS(TFilerSwapGroup, TFilerTestGroup)
public:
    TObject* ReadItemText(TObject* Item, const UTF8String& Text, TXProgress* Progress) override
    {
        if (Text.find("<refuse/>") != UTF8String::npos)
            return nullptr;
        auto* Note = New<TFilerCountedNote>();
        Note->Text = UTF8ToString(TagBody(Text, "text"));
        Note->Rejected = Text.find("<reject/>") != UTF8String::npos;
        return Note;
    }
    bool AfterReadItem(TObject* Item, Integer Flag) override
    {
        return !static_cast<TFilerCountedNote*>(Item)->Rejected;
    }
};
X_REGISTER_CLASS(TFilerSwapGroup)

class TFilerSwapFiler : public TXTagFiler {
    X_CLASS(TFilerSwapFiler, TXTagFiler)
public:
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override
    {
        inherited::DefineGroups(AData, AMode, AParts);
        Groups()->AddNamedGroup(this, TFilerSwapGroup::StaticClass(), As<TFilerTestData>(AData)->Notes.get(), nullptr,
            u"Notes");
    }
};
X_REGISTER_CLASS(TFilerSwapFiler)

class XCoreFilersTest : public ::testing::Test {
protected:
    void SetUp() override { ClearXError(); }

    String PathOf(const char* Name) const { return Folder.File(Name); }
    static void Fill(TFilerTestData* D)
    {
        D->Title = u"Week 12";
        D->Texts->SetText(1031, u"Grüße aus Köln");
        D->Texts->Items(0)->SetDisplayName(u"greeting");
        D->Texts->SetText(9, u"plain");
        auto* N = New<TFilerTestNote>();
        N->SetName(u"first");
        N->Text = u"buy milk";
        D->Notes->Add(N);
        auto* O = New<TFilerTestOtherNote>();
        O->SetName(u"second");
        O->Text = u"€ 5";
        D->Notes->Add(O);
    }
    static std::string ReadAll(const fs::path& P)
    {
        Testing::Bytes Bytes = Testing::ReadFileBytes(P);
        return std::string(Bytes.begin(), Bytes.end());
    }

    Testing::TTempFolder Folder { "filers" };
    const fs::path& Dir = Folder.Path();
};

TEST_F(XCoreFilersTest, TagFilerRoundTripsThroughFile)
{
    TOwnedPtr<TFilerTestData> Source(New<TFilerTestData>());
    Fill(Source.get());
    String File = PathOf("notes.txt");
    ASSERT_TRUE(FilerSaveToFileViaTemp(File, TFilerTestFiler::StaticClass(), Source.get(), false, nullptr));

    std::string Text = ReadAll(Dir / "notes.txt");
    EXPECT_EQ(Text.rfind("<notes>\r\n<Texts>\r\n<head>\r\nWeek 12\r\n</head>\r\n<item name=\"greeting\">\r\n", 0), 0u)
        << Text;
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);

    TOwnedPtr<TFilerTestData> Dest(New<TFilerTestData>());
    ASSERT_TRUE(FilerLoadFromFile(File, TFilerTestFiler::StaticClass(), Dest.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    EXPECT_EQ(Dest->Title, u"Week 12");
    ASSERT_EQ(Dest->Texts->Count(), 2);
    EXPECT_EQ(Dest->Texts->Items(0)->DisplayName(), u"greeting");
    EXPECT_EQ(Dest->Texts->Items(0)->s(), u"Grüße aus Köln");
    EXPECT_EQ(Dest->Texts->Items(1)->s(), u"plain");
    ASSERT_EQ(Dest->Notes->Count(), 2);
    auto* Second = DynamicCast<TFilerTestOtherNote>(Dest->Notes->Items(1));
    ASSERT_NE(Second, nullptr);
    EXPECT_EQ(Second->Name(), u"second");
    EXPECT_EQ(Second->Text, u"€ 5");
}

TEST_F(XCoreFilersTest, ReadModeZeroReplacesAndOneAdds)
{
    TOwnedPtr<TFilerTestData> Source(New<TFilerTestData>());
    Fill(Source.get());
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>());
    ASSERT_TRUE(FilerSaveToStream(Stream.get(), TFilerTestFiler::StaticClass(), Source.get(), false, nullptr));

    for (Integer Mode : { 0, 1 }) {
        TOwnedPtr<TFilerTestData> Dest(New<TFilerTestData>());
        Fill(Dest.get());
        ASSERT_TRUE(
            FilerLoadFromStream(Stream.get(), TFilerTestFiler::StaticClass(), Dest.get(), false, nullptr, {}, Mode));
        EXPECT_EQ(Dest->Texts->Count(), Mode == 0 ? 2 : 4) << Mode;
        EXPECT_EQ(Dest->Notes->Count(), Mode == 0 ? 2 : 4) << Mode;
    }
    TOwnedPtr<TFilerTestData> Dest(New<TFilerTestData>());
    EXPECT_FALSE(FilerLoadFromStream(Stream.get(), TFilerTestFiler::StaticClass(), Dest.get(), false, nullptr, {}, 7));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
}

TEST_F(XCoreFilersTest, DamagedOrForeignTextsFailWith44)
{
    struct TCase {
        const char* Name;
        const char* Text;
        Integer Notes;
    };
    const TCase Cases[] = {
        { "sound", "<notes><Notes><item name=\"x\"><class>TFilerTestOtherNote</class></item></Notes></notes>", 1 },
        { "no root", "<Notes>\r\n</Notes>", 0 },
        { "foreign class", "<notes><Notes><item name=\"x\"><class>TStringList</class></item></Notes></notes>", 0 },
        { "sibling class", "<notes><Notes><item name=\"x\"><class>TFilerTestData</class></item></Notes></notes>", 0 },
        { "unknown class", "<notes><Notes><item name=\"x\"><class>TNoSuchThing</class></item></Notes></notes>", 0 },
        { "cut off", "<notes><Notes><item name=\"x\"><class>TFilerTestNote</class><text>a</text>", 0 },
    };
    for (const TCase& C : Cases) {
        TOwnedPtr<TFilerTestData> Dest(New<TFilerTestData>());
        bool Sound = C.Notes > 0;
        EXPECT_EQ(FilerLoadFromString(C.Text, TFilerTestFiler::StaticClass(), Dest.get(), false, nullptr), Sound)
            << C.Name;
        EXPECT_EQ(GetXErrorCode(), Sound ? xecNone : xecReadFailed) << C.Name;
        EXPECT_EQ(Dest->Notes->Count(), C.Notes) << C.Name;
    }
}

TEST_F(XCoreFilersTest, ItemTagMustEndAtBlankOrBracket)
{
    const char* Text = "<notes><Notes><item2 name=\"no\"><text>x</text></item2>"
                       "<item name=\"yes\"><class>TFilerTestNote</class><text>y</text></item></Notes></notes>";
    TOwnedPtr<TFilerTestData> Dest(New<TFilerTestData>());
    ASSERT_TRUE(FilerLoadFromString(Text, TFilerTestFiler::StaticClass(), Dest.get(), false, nullptr));
    ASSERT_EQ(Dest->Notes->Count(), 1);
    auto* Note = static_cast<TFilerTestNote*>(Dest->Notes->Items(0));
    EXPECT_EQ(Note->Name(), u"yes");
    EXPECT_EQ(Note->Text, u"y");
}

TEST_F(XCoreFilersTest, FileErrorsCarryTheirCodes)
{
    TOwnedPtr<TFilerTestData> Data(New<TFilerTestData>());
    String Missing = PathOf("missing.txt");
    EXPECT_FALSE(FilerLoadFromFile(Missing, TFilerTestFiler::StaticClass(), Data.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecFileNotFound);
    EXPECT_EQ(GetXErrorText(), Missing);

    // A file another open holds exclusively cannot be opened for reading.
    String Locked = PathOf("locked.txt");
    ASSERT_TRUE(FilerSaveToFile(Locked, TFilerTestFiler::StaticClass(), Data.get(), false, nullptr));
    {
        TOwnedPtr<TFileStream> Holder(New<TFileStream>(Locked, fmOpenReadWrite | fmShareExclusive));
        EXPECT_FALSE(FilerLoadFromFile(Locked, TFilerTestFiler::StaticClass(), Data.get(), false, nullptr));
        TXErrorData Error = GetXErrorData();
        EXPECT_EQ(Error.Code, xecOpenFailed);
        EXPECT_EQ(Error.SubCode, EBUSY);
    }

    EXPECT_FALSE(
        FilerSaveToFile(PathOf("no/such/dir.txt"), TFilerTestFiler::StaticClass(), Data.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecOpenFailed);
    EXPECT_EQ(GetXErrorData().SubCode, ENOENT);

    EXPECT_THROW(FilerLoadFromFile(Missing, TFilerTestFiler::StaticClass(), Data.get(), true, nullptr), EXError);
}

TEST_F(XCoreFilersTest, FailedSaveLeavesTargetUntouched)
{
    TOwnedPtr<TFilerTestData> Data(New<TFilerTestData>());
    Fill(Data.get());
    Data->FailWrite = true;
    {
        std::ofstream(Dir / "keep.txt", std::ios::binary) << "old content";
    }
    for (auto Save : { &FilerSaveToFile, &FilerSaveToFileViaTemp }) {
        EXPECT_FALSE(Save(PathOf("keep.txt"), TFilerTestFiler::StaticClass(), Data.get(), false, nullptr, {}, 0));
        EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
        EXPECT_EQ(ReadAll(Dir / "keep.txt"), "old content");
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
    }

    // A target folder that does not exist: 4 and nothing written.
    EXPECT_FALSE(
        FilerSaveToFileViaTemp(PathOf("gone/x.txt"), TFilerTestFiler::StaticClass(), Data.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
    Data->FailWrite = false;
    EXPECT_FALSE(
        FilerSaveToFileViaTemp(PathOf("gone/x.txt"), TFilerTestFiler::StaticClass(), Data.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecOpenFailed);
}

// A hook that raises instead of answering false: the routine answers false
// with the load's or the save's code, finishes the progress, writes no
// file, and with RaiseErrors raises that code once it has cleaned up.
TEST_F(XCoreFilersTest, RaisingHooksFailWithTheRoutinesCode)
{
    TOwnedPtr<TFilerTestData> Source(New<TFilerTestData>());
    Fill(Source.get());
    TOwnedPtr<TBytesStream> Saved(New<TBytesStream>());
    ASSERT_TRUE(FilerSaveToStream(Saved.get(), TFilerTestFiler::StaticClass(), Source.get(), false, nullptr));
    Source->RaiseInHooks = true;
    TOwnedPtr<TFilerTestData> Dest(New<TFilerTestData>());
    Dest->RaiseInHooks = true;

    struct TCase {
        const char* Name;
        std::function<bool(bool Raise, TXProgress* Progress)> Run;
        TXErrorCode Code;
    };
    const TCase Cases[] = {
        { "save to a stream",
            [&](bool Raise, TXProgress* P) {
                TOwnedPtr<TBytesStream> Out(New<TBytesStream>());
                return FilerSaveToStream(Out.get(), TFilerTestFiler::StaticClass(), Source.get(), Raise, P);
            },
            xecWriteFailed },
        { "save to a file",
            [&](bool Raise, TXProgress* P) {
                return FilerSaveToFile(PathOf("raised.txt"), TFilerTestFiler::StaticClass(), Source.get(), Raise, P);
            },
            xecWriteFailed },
        { "load from a stream",
            [&](bool Raise, TXProgress* P) {
                return FilerLoadFromStream(Saved.get(), TFilerTestFiler::StaticClass(), Dest.get(), Raise, P);
            },
            xecReadFailed },
        { "load from text",
            [&](bool Raise, TXProgress* P) {
                RawBytes Text(static_cast<const char*>(Saved->Memory()), size_t(Saved->Size()));
                return FilerLoadFromString(Text, TFilerTestFiler::StaticClass(), Dest.get(), Raise, P);
            },
            xecReadFailed },
    };
    for (const TCase& C : Cases) {
        for (bool Raise : { false, true }) {
            SCOPED_TRACE(std::string(C.Name) + (Raise ? ", raising" : ""));
            TOwnedPtr<TXProgress> Progress(New<TXProgress>(static_cast<TXProgress*>(nullptr)));
            Progress->SetMax(3);
            if (Raise) {
                EXPECT_EQ(Testing::RaisedCode([&] { C.Run(true, Progress.get()); }), C.Code);
            } else {
                EXPECT_FALSE(C.Run(false, Progress.get()));
                EXPECT_EQ(GetXErrorCode(), C.Code);
            }
            EXPECT_EQ(Progress->Position(), 3u);
        }
    }
    EXPECT_FALSE(fs::exists(Dir / "raised.txt"));
    EXPECT_TRUE(fs::is_empty(Dir));
}

TEST_F(XCoreFilersTest, StringsFilerKeepsTextOutsideAscii)
{
    TOwnedPtr<TStringList> Source(New<TStringList>());
    Source->SetText(u"Größe\r\n日本\r\n");
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>());
    ASSERT_TRUE(FilerSaveToStream(Stream.get(), TXStringsFiler::StaticClass(), Source.get(), false, nullptr));
    TOwnedPtr<TStringList> Dest(New<TStringList>());
    ASSERT_TRUE(FilerLoadFromStream(Stream.get(), TXStringsFiler::StaticClass(), Dest.get(), false, nullptr));
    ASSERT_EQ(Dest->Count(), 2);
    EXPECT_EQ(Dest->Strings(0), u"Größe");
    EXPECT_EQ(Dest->Strings(1), u"日本");

    // Not a string list: the filer fails instead of guessing.
    TOwnedPtr<TFilerTestData> Other(New<TFilerTestData>());
    EXPECT_FALSE(FilerLoadFromStream(Stream.get(), TXStringsFiler::StaticClass(), Other.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    EXPECT_FALSE(FilerLoadFromStream(Stream.get(), TXTextFilerGroup::StaticClass(), Dest.get(), false, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
}

TEST(XCoreDataIndexTest, NameInTheBestLanguage)
{
    TOwnedPtr<TXDataIndex> Index(New<TXDataIndex>());
    TXDataIndexCollection* Entries = Index->DataIndex();
    Entries->BaseNumber = 2;
    Index->SetLgID(1036); // French
    Entries->AddEntry(u"Words", {}, 9); // Idx 2
    Entries->AddEntry(u"Words", {}, 7); // Idx 3: German, primary only
    Entries->AddEntry(u"Words", {}, 1036); // Idx 4
    Entries->AddEntry(u"Help", {}, 0); // Idx 5
    EXPECT_EQ(Entries->LgID(), 1036u);

    struct TCase {
        const char16_t* Name;
        Cardinal LgID;
        bool TryEnglish;
        Integer Idx;
    } Cases[] = {
        { u"Words", 1036, true, 4 },
        { u"Words", 2055, true, 3 }, // Swiss German through German
        { u"Words", 1041, true, 4 }, // Japanese: the collection's language
        { u"Help", 1031, true, 5 }, // neutral
        { u"Nothing", 9, true, 0 },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(Entries->IdxOfNameLg(C.Name, C.LgID, C.TryEnglish), C.Idx) << StringToUTF8(C.Name) << C.LgID;
    EXPECT_EQ(Entries->IdxOfName(u"Help"), 5);
    EXPECT_EQ(Entries->IdxOfName(u"help"), 0);

    Index->SetLgID(0);
    Entries->Delete(2); // no French, no neutral "Words"
    EXPECT_EQ(Entries->IdxOfNameLg(u"Words", 1041, false), 0);
    EXPECT_EQ(Entries->IdxOfNameLg(u"Words", 1041, true), 2);

    TOwnedPtr<TXDataIndex> Copy(New<TXDataIndex>());
    Index->Enabled = true;
    Copy->Assign(Index.get());
    EXPECT_TRUE(Copy->Enabled);
    EXPECT_EQ(Copy->DataIndex()->Count(), 3);
    Copy->Clear();
    EXPECT_FALSE(Copy->Enabled);
    EXPECT_EQ(Copy->DataIndex()->Count(), 0);
}

// The filerable object and item share one template over two bases: each
// keeps its own name and properties, and index and filter text pass only
// between objects of the same base.
TEST(XCoreFilerableTest, ObjectsAndItemsKeepTheirClassesAndCopyTheirOwnKind)
{
    for (TClass Class : { TXFilerablePersistent::StaticClass(), TXFilerableItem::StaticClass() })
        EXPECT_EQ(GetClass(Class->Name), Class) << StringToUTF8(Class->Name);
    EXPECT_TRUE(TXDataIndex::StaticClass()->InheritsFrom(TXLocalizedPersistent::StaticClass()));
    EXPECT_TRUE(TXDataIndexItem::StaticClass()->InheritsFrom(TXLocalizedCollectionItem::StaticClass()));
    std::vector<String> ItemProps;
    for (const TPropInfo* P : GetPropList(TXDataIndexItem::StaticClass()))
        ItemProps.push_back(P->Name);
    for (const char16_t* Name : { u"Name", u"LgID", u"Idx", u"XFilter" })
        EXPECT_NE(std::find(ItemProps.begin(), ItemProps.end(), Name), ItemProps.end()) << StringToUTF8(Name);
    EXPECT_NE(GetPropInfo(TXDataIndex::StaticClass(), u"DataIndex"), nullptr);

    TOwnedPtr<TXDataIndex> Source(New<TXDataIndex>());
    IPtr<IXFilerable> Filerable = Supports<IXFilerable>(Source.get());
    ASSERT_TRUE(Filerable);
    Filerable->SetIndex(3);
    Filerable->SetFilterText(u"de");
    TOwnedPtr<TXDataIndex> Copy(New<TXDataIndex>());
    Copy->Assign(Source.get());
    EXPECT_EQ(Copy->GetIndex(), 3);
    EXPECT_EQ(Copy->GetFilterText(), u"de");
    Copy->Clear();
    EXPECT_EQ(Copy->GetIndex(), -1);
    EXPECT_EQ(Copy->GetFilterText(), u"");

    TXDataIndexItem* Entry = Source->DataIndex()->AddEntry(u"Words", u"f", 9);
    Entry->SetIndex(5);
    ASSERT_TRUE(Supports<IXFilerable>(Entry));
    TXDataIndexItem* Other = Copy->DataIndex()->Add();
    Other->AssignFrom(Entry);
    EXPECT_EQ(Other->GetIndex(), 5);
    EXPECT_EQ(Other->GetFilterText(), u"f");
    // An object of the other base gives the item nothing of its own.
    Other->AssignFrom(Source.get());
    EXPECT_EQ(Other->GetIndex(), 5);
    EXPECT_EQ(Other->GetFilterText(), u"f");
}

// Objects made for a list and then not kept are freed, also when the list
// does not own its objects; what it keeps is then the caller's.
TEST_F(XCoreFilersTest, ListItemsMadeAndDroppedAreFreed)
{
    struct TCase {
        const char* Name;
        const char* Item;
        bool Ok;
    };
    const TCase Cases[] = {
        { "swapped", "<text>kept</text>", true },
        { "refused", "<refuse/>", false },
        { "rejected", "<reject/>", false },
    };
    for (bool Owns : { true, false }) {
        for (const TCase& C : Cases) {
            TOwnedPtr<TFilerTestData> Data(New<TFilerTestData>());
            Data->Notes->ItemClass = TFilerCountedNote::StaticClass();
            Data->Notes->SetOwnsObjects(Owns);
            UTF8String Text = UTF8String("<Notes><item name=\"n\">") + C.Item + "</item></Notes>";
            EXPECT_EQ(FilerLoadFromString(Text, TFilerSwapFiler::StaticClass(), Data.get(), false, nullptr), C.Ok)
                << C.Name << Owns;
            ASSERT_EQ(Data->Notes->Count(), C.Ok ? 1 : 0) << C.Name << Owns;
            EXPECT_EQ(TFilerCountedNote::Live, C.Ok ? 1 : 0) << C.Name << Owns;
            if (C.Ok) {
                auto* Note = static_cast<TFilerCountedNote*>(Data->Notes->Items(0));
                EXPECT_EQ(Note->Text, u"kept");
                EXPECT_EQ(Note->Name(), u"n");
                if (!Owns)
                    Note->Free();
            }
            Data.reset();
            EXPECT_EQ(TFilerCountedNote::Live, 0) << C.Name << Owns;
        }
    }
}
