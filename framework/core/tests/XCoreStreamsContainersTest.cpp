#include "rtl/ComponentText.h"
#include "core/XCore.ComponentText.h"
#include "core/XCore.Errors.h"
#include "core/XCore.XMLObjects.h"
#include "core/XCore.Streams.Containers.h"
#include "rtl/testing/Testing.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

// Takes the binary properties an object defines, as a persistence writer
// and reader would meet them.
class TCaptureFiler : public TFiler {
public:
    struct TEntry {
        TStreamProc Read;
        TStreamProc Write;
        bool HasData = false;
    };
    void DefineProperty(const String&, TReaderProc, TWriterProc, bool) override { }
    void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override
    {
        Entries[StringToUTF8(Name)] = { ReadData, WriteData, HasData };
    }
    std::map<std::string, TEntry> Entries;
};

std::map<std::string, TCaptureFiler::TEntry> Define(TXStreamObject* Blob)
{
    TCaptureFiler Filer;
    Blob->DefineProperties(&Filer);
    return Filer.Entries;
}

// The values a writer stores: only the properties that have data.
std::map<std::string, RawBytes> Save(TXStreamObject* Blob)
{
    std::map<std::string, RawBytes> Values;
    for (auto& [Name, Entry] : Define(Blob)) {
        if (!Entry.HasData)
            continue;
        TOwnedPtr<TMemoryStream> S(New<TMemoryStream>());
        Entry.Write(S.get());
        Values[Name].assign(static_cast<const char*>(S->Memory()), size_t(S->Size()));
    }
    return Values;
}

void Load(TXStreamObject* Blob, const std::map<std::string, RawBytes>& Values)
{
    auto Entries = Define(Blob);
    for (auto& [Name, Bytes] : Values) {
        TOwnedPtr<TMemoryStream> S(New<TMemoryStream>());
        S->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
        S->SetPosition(0);
        Entries.at(Name).Read(S.get());
    }
}

RawBytes Content(TXStreamObject* Blob)
{
    return RawBytes(static_cast<const char*>(Blob->DataStream()->Memory()), size_t(Blob->DataStream()->Size()));
}

RawBytes SampleBytes()
{
    RawBytes Bytes;
    for (int I = 0; I < 200000; ++I)
        Bytes += char((I * 7) % 251);
    return Bytes;
}

// A stream that takes nothing.
class TRefusingStream : public TStream {
public:
    Int64 Read(void*, Int64) override { return 0; }
    Int64 Write(const void*, Int64) override { return 0; }
    Int64 Seek(Int64, TSeekOrigin) override { return 0; }
};

// Blobs on a shelf; the reader of "Probe", which comes after them, notes
// what the load's budget has left.
class TBlobShelf : public TPersistent {
    X_CLASS(TBlobShelf, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FBlobs = New<TXStreamCollection<>>(static_cast<TPersistent*>(this));
    }
    ~TBlobShelf() override { FreeAndNil(FBlobs); }
    TCollection* Blobs() const { return FBlobs; }
    void DefineProperties(TFiler* Filer) override
    {
        inherited::DefineProperties(Filer);
        Filer->DefineBinaryProperty(
            u"Probe", [this](TStream*) { SeenRemaining = TXLoadBudget::Remaining(); },
            [](TStream* S) { S->WriteBuffer("p", 1); }, true);
    }
    Int64 SeenRemaining = -1;

private:
    TCollection* FBlobs = nullptr;
};

}

X_REGISTER_CLASS(TBlobShelf)
X_PUBLISHED(TBlobShelf)
{
    X_PROP_READONLY(Blobs, Blobs);
}

namespace {

TEST(XCoreStreamsContainersTest, OneLoadHasOneBudgetForAllItsBlobs)
{
    TOwnedPtr<TBlobShelf> Shelf(New<TBlobShelf>());
    const RawBytes Zeros(size_t(1) << 20, '\0');
    constexpr int Blobs = 12;
    for (int I = 0; I < Blobs; ++I) {
        auto* Item = static_cast<TXStreamItem*>(Shelf->Blobs()->Add());
        Item->Data()->SetCompressed(true);
        Item->Data()->DataStream()->WriteBuffer(Zeros.data(), Int64(Zeros.size()));
    }
    for (bool AsText : { true, false }) {
        SCOPED_TRACE(AsText);
        TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
        ASSERT_TRUE(SaveObjectToStream(Shelf.get(), Stream.get(), AsText, false));
        EXPECT_LT(Stream->Size(), 200000);

        // A load opens a budget of its own: the probe behind the blobs sees
        // what they took from it.
        TOwnedPtr<TObject> Loaded(LoadObjectFromStream(Stream.get(), false));
        ASSERT_TRUE(Loaded) << StringToUTF8(GetXErrorText());
        auto* Copy = As<TBlobShelf>(Loaded.get());
        ASSERT_EQ(Copy->Blobs()->Count(), Blobs);
        EXPECT_EQ(static_cast<TXStreamItem*>(Copy->Blobs()->Items(Blobs - 1))->Data()->DataStream()->Size(),
            Int64(Zeros.size()));
        EXPECT_LE(Copy->SeenRemaining, xzMaxInflatedSize - Blobs * Int64(Zeros.size()));

        // Each blob fits a budget that all of them together do not: the
        // load fails as a whole, where the tolerant readers, which skip a
        // damaged value, would have left the last blobs empty and answered
        // with an object.
        TXLoadBudget Budget(8 << 20);
        ClearXError();
        TOwnedPtr<TObject> Bounded(LoadObjectFromStream(Stream.get(), false));
        EXPECT_FALSE(Bounded);
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    }
}

}

TEST(XCoreStreamsContainersTest, BlobRoundTripsPlainAndCompressed)
{
    const RawBytes Bytes = SampleBytes();
    for (bool Compressed : { false, true }) {
        TOwnedPtr<TXStreamObject> Source(New<TXStreamObject>());
        Source->DataStream()->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
        Source->SetCompressed(Compressed);
        auto Values = Save(Source.get());
        ASSERT_EQ(Values.size(), 1u);
        ASSERT_EQ(Values.begin()->first, Compressed ? "CData" : "Data");
        if (Compressed) {
            // A zlib stream that zlib itself inflates to the data.
            const RawBytes& Packed = Values["CData"];
            std::vector<Bytef> Out(Bytes.size());
            uLongf OutLen = uLongf(Out.size());
            ASSERT_EQ(uncompress(Out.data(), &OutLen, reinterpret_cast<const Bytef*>(Packed.data()),
                          uLong(Packed.size())),
                Z_OK);
            EXPECT_EQ(RawBytes(Out.begin(), Out.begin() + OutLen), Bytes);
            EXPECT_LT(Packed.size(), Bytes.size());
        }
        // The reader takes either value whatever its own flag says.
        TOwnedPtr<TXStreamObject> Dest(New<TXStreamObject>());
        Load(Dest.get(), Values);
        EXPECT_EQ(Content(Dest.get()), Bytes) << Compressed;
        EXPECT_FALSE(Dest->Compressed());
    }
}

TEST(XCoreStreamsContainersTest, NoDataWritesNeitherProperty)
{
    TOwnedPtr<TXStreamObject> Empty(New<TXStreamObject>());
    EXPECT_TRUE(Save(Empty.get()).empty());
    EXPECT_TRUE(Empty->IsEmpty());

    TOwnedPtr<TCollection> Coll(New<TXStreamCollection<>>(static_cast<TPersistent*>(nullptr)));
    auto* Item = static_cast<TXStreamItem*>(Coll->Add());
    Item->Data()->DataStream()->WriteBuffer("abc", 3);
    EXPECT_EQ(Save(Item->Data()).size(), 1u);
    Item->SetStoreData(false);
    EXPECT_TRUE(Save(Item->Data()).empty());
}

TEST(XCoreStreamsContainersTest, DamagedCompressedValueLeavesBlobEmptyAndFails)
{
    TOwnedPtr<TXStreamObject> Source(New<TXStreamObject>());
    const RawBytes Bytes = SampleBytes();
    Source->DataStream()->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
    Source->SetCompressed(true);
    RawBytes Packed = Save(Source.get())["CData"];

    RawBytes Flipped = Packed;
    Flipped[Flipped.size() / 2] ^= 0x55;
    const RawBytes Cases[] = { Packed.substr(0, Packed.size() / 2), Flipped, "not zlib at all",
        Packed.substr(0, Packed.size() - 1) };
    for (const RawBytes& Value : Cases) {
        ClearXError();
        TOwnedPtr<TXStreamObject> Dest(New<TXStreamObject>());
        Dest->DataStream()->WriteBuffer("old", 3);
        EXPECT_THROW(Load(Dest.get(), { { "CData", Value } }), EReadError) << Value.size();
        EXPECT_TRUE(Dest->IsEmpty());
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    }
}

TEST(XCoreStreamsContainersTest, FailedCompressionIsReportedNotStored)
{
    TOwnedPtr<TXStreamObject> Blob(New<TXStreamObject>());
    Blob->DataStream()->WriteBuffer("some data", 9);
    Blob->SetCompressed(true);
    ClearXError();
    TRefusingStream Refusing;
    EXPECT_THROW(Define(Blob.get()).at("CData").Write(&Refusing), EWriteError);
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
}

TEST(XCoreStreamsContainersTest, BlobTravelsInComponentText)
{
    TOwnedPtr<TXStreamBox> Box(New<TXStreamBox>(nullptr));
    Box->SetName(u"Box1");
    Box->Data()->SetName(u"Help");
    Box->Data()->SetDataClass(u".rtf");
    Box->Data()->SetCompressed(true);
    Box->Data()->DataStream()->WriteBuffer("{\\rtf1 hello}", 13);
    String Text = WriteComponentToText(Box.get());
    EXPECT_NE(Text.find(u"Data.CData = {"), String::npos) << StringToUTF8(Text);

    TOwnedPtr<TXStreamBox> Copy(New<TXStreamBox>(nullptr));
    ReadComponentFromText(Text, Copy.get());
    EXPECT_EQ(Copy->Data()->Name(), u"Help");
    EXPECT_EQ(Copy->Data()->DataClass(), u".rtf");
    EXPECT_EQ(Content(Copy->Data()), "{\\rtf1 hello}");
}

TEST(XCoreStreamsContainersTest, LoadFromFileAndAssign)
{
    Testing::TTempFolder Dir("blobs");
    Testing::WriteFileBytes(Dir / "Picture.PNG", { '1', '2', '3', '4', '5' });

    TOwnedPtr<TXCustomSizeStreamObject> Blob(New<TXCustomSizeStreamObject>());
    ASSERT_TRUE(Blob->LoadFromFile(Dir.File("Picture.PNG"), false));
    EXPECT_EQ(Blob->DataClass(), u".png");
    EXPECT_EQ(Blob->Size(), 5);
    Blob->SetWidth(640);
    Blob->SetHeight(480);
    Blob->SetLgID(1031);

    TOwnedPtr<TXCustomSizeStreamObject> Copy(New<TXCustomSizeStreamObject>());
    Copy->Assign(Blob.get());
    EXPECT_EQ(Copy->Width(), 640);
    EXPECT_EQ(Copy->Size(), 5);
    EXPECT_EQ(Copy->LgID(), 0u);
    Blob->DataStream()->Clear(); // the copy has bytes of its own
    EXPECT_EQ(Content(Copy.get()), "12345");

    EXPECT_FALSE(Copy->LoadFromFile(Dir.File("missing.png"), false));
    EXPECT_TRUE(Copy->IsEmpty());
    EXPECT_EQ(Copy->DataClass(), u"");
    EXPECT_EQ(Copy->Width(), 0);
}

TEST(XCoreStreamsContainersTest, BlobTravelsInXmlForm)
{
    const RawBytes Bytes = SampleBytes().substr(0, 5000);
    for (bool Compressed : { false, true }) {
        TOwnedPtr<TXStreamObject> Source(New<TXStreamObject>());
        Source->SetName(u"Picture");
        Source->SetCompressed(Compressed);
        Source->DataStream()->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
        String Xml = ObjectToXMLText(Source.get(), false);
        EXPECT_NE(Xml.find(Compressed ? u"name=\"CData\"" : u"name=\"Data\""), String::npos);

        TOwnedPtr<TXStreamObject> Dest(New<TXStreamObject>());
        ASSERT_TRUE(LoadObjectFromXMLText(Dest.get(), Xml)) << Compressed;
        EXPECT_EQ(Content(Dest.get()), Bytes);
        EXPECT_EQ(Dest->Compressed(), Compressed);

        if (Compressed) {
            // Cut the hexadecimal value short: the load fails and keeps nothing.
            size_t At = Xml.find(u"name=\"CData\">") + 13;
            String Damaged = Xml.substr(0, At + 40) + Xml.substr(Xml.find(u"</p>", At));
            ClearXError();
            TOwnedPtr<TXStreamObject> Broken(New<TXStreamObject>());
            EXPECT_FALSE(LoadObjectFromXMLText(Broken.get(), Damaged));
            EXPECT_TRUE(Broken->IsEmpty());
            EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        }
    }
}
