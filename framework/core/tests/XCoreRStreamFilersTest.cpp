#include "core/XCore.RStream.Filers.h"
#include "core/XCore.Streams.Containers.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace {

// A filerable note with a text, its filter text its category.
class TNoteItem : public TXFilerableItem {
    X_CLASS(TNoteItem, TXFilerableItem)
public:
    String Text() const { return FText; }
    void SetText(const String& Value) { FText = Value; }

private:
    String FText;
};

class TNoteCollection : public TXCollection<TNoteItem> {
    X_CLASS(TNoteCollection, TXCollection<TNoteItem>)
public:
    using inherited::Create;
};

// The notes and a stream object in one container.
struct TNotesData {
    TOwnedPtr<TNoteCollection> Notes { New<TNoteCollection>(static_cast<TPersistent*>(nullptr)) };
    TOwnedPtr<TXStreamObject> Blob { New<TXStreamObject>() };
};

class TNotesFiler : public TXRStreamFiler {
    X_CLASS(TNotesFiler, TXRStreamFiler)
public:
    static inline std::vector<String> Filter;
    static inline bool IndexForObject = true;
    static inline TXRIdentity NextIdentity;

    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override
    {
        inherited::DefineGroups(AData, AMode, AParts);
        Identity = NextIdentity;
        auto* D = reinterpret_cast<TNotesData*>(static_cast<void*>(AData));
        TXFilerGroup* Notes =
            Groups()->AddNamedGroup(this, TXRStreamFilerGroup::StaticClass(), D->Notes.get(), nullptr, u"Notes");
        for (const String& F : Filter)
            Notes->Filter()->Add(F);
        TXFilerGroup* Blob = Groups()->AddGroup(this, TXRStreamObjectFilerGroup::StaticClass(), nullptr, D->Blob.get());
        Blob->WriteOptions[2] = IndexForObject;
    }
};

X_REGISTER_CLASS(TNoteItem)
X_REGISTER_CLASS(TNoteCollection)
X_REGISTER_CLASS(TNotesFiler)

X_PUBLISHED(TNoteItem)
{
    X_PROP(Text, Text, SetText);
}

// The filer run by hand (the data object is no TObject here).
bool Save(TNotesData& D, TStream* S)
{
    TOwnedPtr<TNotesFiler> F(New<TNotesFiler>());
    F->DefineGroups(reinterpret_cast<TObject*>(&D), 0, {});
    return F->SaveToStream(S, nullptr, false);
}

bool Load(TNotesData& D, TStream* S)
{
    TOwnedPtr<TNotesFiler> F(New<TNotesFiler>());
    F->DefineGroups(reinterpret_cast<TObject*>(&D), 0, {});
    S->SetPosition(0);
    return F->ReadStream(S, nullptr, false);
}

void Fill(TNotesData& D)
{
    for (auto [Text, Category] : { std::pair { u"first", u"work" }, { u"second", u"home" }, { u"third", u"work" } }) {
        TNoteItem* N = D.Notes->Add();
        N->SetText(Text);
        N->SetFilterText(Category);
    }
    D.Blob->SetDataClass(u".bin");
    D.Blob->DataStream()->WriteBuffer("binary\0data", 11);
}

struct TReset {
    ~TReset()
    {
        TNotesFiler::Filter.clear();
        TNotesFiler::IndexForObject = true;
        TNotesFiler::NextIdentity = {};
    }
};

} // namespace

TEST(RStreamFilers, ObjectsItemsAndDataThereAndBack)
{
    TReset Reset;
    TNotesData D;
    Fill(D);
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    ASSERT_TRUE(Save(D, S.get()));
    TNotesData Back;
    ASSERT_TRUE(Load(Back, S.get()));
    ASSERT_EQ(Back.Notes->Count(), 3);
    EXPECT_EQ(Back.Notes->Items(1)->Text(), u"second");
    EXPECT_EQ(Back.Notes->Items(1)->GetIndex(), 2) << "the header it was read from";
    EXPECT_EQ(Back.Blob->DataClass(), u".bin");
    EXPECT_EQ(Testing::StreamBytes(Back.Blob->DataStream()), Testing::StreamBytes(D.Blob->DataStream()));

    // Filtered: only the listed filter texts make items; the rest leave -1.
    TNotesFiler::Filter = { u"work" };
    TNotesData Work;
    ASSERT_TRUE(Load(Work, S.get()));
    ASSERT_EQ(Work.Notes->Count(), 2);
    EXPECT_EQ(Work.Notes->Items(0)->Text(), u"first");
    EXPECT_EQ(Work.Notes->Items(1)->Text(), u"third");
}

TEST(RStreamFilers, DisabledIndexWritesOnlyTheObject)
{
    TReset Reset;
    TNotesFiler::IndexForObject = false;
    TNotesData D;
    Fill(D);
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    ASSERT_TRUE(Save(D, S.get()));
    auto C = MakeOwned<TXQStream>();
    S->SetPosition(0);
    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    TXRGroupObject* G = C->Groups()->SelectGroup(u"Data");
    ASSERT_NE(G, nullptr);
    TXRHeaderObject* H = G->Headers->Items(0);
    EXPECT_EQ(H->Body.Count, 2);
    TOwnedPtr<TMemoryStream> R(MakeOwned<TMemoryStream>());
    EXPECT_TRUE(C->ReadResourceStream(H, 0, nullptr, R.get()));
    // Read back, the blob has no data: it was not kept in the object.
    TNotesData Back;
    ASSERT_TRUE(Load(Back, S.get()));
    EXPECT_EQ(Back.Blob->DataClass(), u".bin");
    EXPECT_EQ(Back.Blob->DataStream()->Size(), 0);
}

TEST(RStreamFilers, IdentityDecidesWhatOpens)
{
    TReset Reset;
    TNotesData D;
    Fill(D);
    SetFilerIdentity(TNotesFiler::NextIdentity, 7, 1, 2, 3, 4, u"Notes");
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    ASSERT_TRUE(Save(D, S.get()));
    const struct {
        Integer V1;
        const char16_t* Name;
        bool Opens;
    } Cases[] = { { 0, u"", true }, { 7, u"Notes", true }, { 7, u"Other", false }, { 8, u"Notes", false },
        { 7, u"", true } };
    for (const auto& C : Cases) {
        TNotesFiler::NextIdentity = {};
        if (C.V1)
            SetFilerIdentity(TNotesFiler::NextIdentity, C.V1, 1, 2, 3, 4, C.Name);
        TNotesData Back;
        EXPECT_EQ(Load(Back, S.get()), C.Opens) << C.V1 << " " << StringToUTF8(C.Name);
        EXPECT_EQ(Back.Notes->Count(), C.Opens ? 3 : 0);
        if (!C.Opens)
            EXPECT_EQ(GetXErrorCode(), xecContainerHeader);
    }
}
