#include "core/XSpark.Lg.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Strings.h"
#include "core/XCore.ZLib.h"
#include "rtl/CodePages.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include "rtl/Units.h"
#include "rtl/Verify.h"
#include <algorithm>
#include <vector>

X_REGISTER_CLASS(TXW)
X_REGISTER_CLASS(TXBI)
X_REGISTER_CLASS(TXBCollection)
X_REGISTER_CLASS(TXLg)
X_REGISTER_CLASS(TXLgHeader)
X_REGISTER_CLASS(TXLgProject)
X_REGISTER_CLASS(TXLgHeaderList)

X_PUBLISHED(TXLgHeader)
{
    X_PROP(Name, GetName, SetName);
    X_PROP(LgID, LgID, SetLgID);
    X_PROP(AppID, AppID, SetAppID);
    X_PROP(AppVer, AppVer, SetAppVer);
    X_PROP(Revision, Revision, SetRevision);
    X_PROP(Author, Author, SetAuthor);
    X_PROP(Contact, Contact, SetContact);
    X_PROP(Comments, Comments, SetComments);
    X_PROP(Data, Data, SetData);
}

Cardinal DefaultLgID = 9;

namespace {

TXLg* GLg = nullptr;
// Shared answer of GetStream for a name no stream has.
TMemoryStream* GNoStream = nullptr;

// The language procedures. Removing one while they run leaves an empty
// slot, compacted when the outermost round ends, so no procedure is passed
// over or called after its removal.
struct TLanguageListeners {
    std::vector<TXAnyProcedure> Items;
    Integer Rounds = 0;
    bool Holes = false;
    bool Suspended = false;

    Integer IndexOf(const TXAnyProcedure& Method) const
    {
        for (size_t I = 0; I < Items.size(); ++I)
            if (Items[I] == Method)
                return Integer(I);
        return -1;
    }
    void Compact()
    {
        if (Rounds > 0 || !Holes)
            return;
        std::erase_if(Items, [](const TXAnyProcedure& P) { return P.IsEmpty(); });
        Holes = false;
    }
};

TLanguageListeners& Listeners()
{
    static TLanguageListeners Listeners;
    return Listeners;
}

void InitLg()
{
    DefaultLgID = 9;
    GNoStream = New<TMemoryStream>();
    GLg = New<TXLg>();
}

void DoneLg()
{
    FreeAndNil(GLg);
    FreeAndNil(GNoStream);
    Listeners() = {};
}

// The lines of a word table as TStringList splits them (CR, LF or CR LF
// end a line), handed to Line one at a time.
template<class F>
void ForEachLine(StringView Text, F&& Line)
{
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find_first_of(u"\r\n", Start);
        if (End == StringView::npos)
            End = Text.size();
        Line(Text.substr(Start, End - Start));
        Start = End + (End + 1 < Text.size() && Text[End] == u'\r' && Text[End + 1] == u'\n' ? 2 : 1);
    }
}

// What one word pair holds in a table beyond its text, the list's growth
// by doubling included.
constexpr Int64 WordPairCost = 2 * Int64(sizeof(TXWordPairs::TPair));

// A byte-order mark names the encoding; without one the bytes are ANSI.
// An odd last byte of UTF-16 text is no character and is dropped.
String TableText(std::string_view Bytes)
{
    const auto Byte0 = [&](size_t I) { return static_cast<unsigned char>(Bytes[I]); };
    if (Bytes.starts_with("\xEF\xBB\xBF"))
        return UTF8ToString(Bytes.substr(3));
    if (Bytes.size() >= 2 && ((Byte0(0) == 0xFF && Byte0(1) == 0xFE) || (Byte0(0) == 0xFE && Byte0(1) == 0xFF))) {
        const bool Little = Byte0(0) == 0xFF;
        String Text;
        Text.reserve(Bytes.size() / 2);
        for (size_t I = 2; I + 1 < Bytes.size(); I += 2)
            Text.push_back(char16_t(Little ? Byte0(I) | (Byte0(I + 1) << 8) : (Byte0(I) << 8) | Byte0(I + 1)));
        return Text;
    }
    return AnsiToString(Bytes);
}

// A hexadecimal id (leading zeros allowed); 0 when it does not parse or
// needs more than 32 bits, so such a line is skipped rather than wrapped.
Cardinal ParseId(StringView Name)
{
    if (Name.empty())
        return 0;
    UInt64 Value = 0;
    for (char16_t C : Name) {
        const Integer D = C >= u'0' && C <= u'9' ? C - u'0'
            : C >= u'a' && C <= u'f'             ? C - u'a' + 10
            : C >= u'A' && C <= u'F'             ? C - u'A' + 10
                                                 : -1;
        if (D < 0)
            return 0;
        Value = Value << 4 | UInt64(D);
        if (Value > 0xFFFFFFFFu)
            return 0;
    }
    return Cardinal(Value);
}

} // namespace

X_UNIT(XSpark_Lg, "XSpark.Lg", ({ "XCore.Classes" }), &InitLg, &DoneLg)

TXLg* Lg()
{
    return GLg;
}

Cardinal GetCurrentLgID()
{
    return GLg ? GLg->GetLgID() : 0;
}

String GetCurrentLgIDHex()
{
    return LowerCase(IntToHex(UInt64(GetCurrentLgID()), 4));
}

// ---- TXW ----

String TXW::DecodeWord(Cardinal Id, std::string_view Coded)
{
    const TCodePageString Bytes = xStr::DecodeDigits({ RawBytes(Coded), CP_1252 }, 36);
    String Text = UTF8ToString(Bytes.Bytes);
    if ((Id & 0x80000000u) == 0)
        Text = StringReplace(Text, u"#13#10", u"\r\n", { rfReplaceAll });
    return Text;
}

String TXW::GetWord(Cardinal Id) const
{
    if (Id == 0)
        return String();
    std::lock_guard Lock(FIndexLock);
    if (!FIndexed) {
        FIndex.reserve(size_t(Count()));
        for (Integer I = 0; I < Count(); ++I)
            FIndex.try_emplace(Items(I).Key, TEntry { I, false, {} });
        FIndexed = true;
    }
    const auto It = FIndex.find(Id);
    if (It == FIndex.end())
        return String();
    TEntry& Entry = It->second;
    if (!Entry.Decoded) {
        Entry.Text = DecodeWord(Id, Items(Entry.Index).Value);
        Entry.Decoded = true;
    }
    return Entry.Text;
}

void TXW::Notify(const TPair& Item, TCollectionNotification Action)
{
    {
        std::lock_guard Lock(FIndexLock);
        // An append keeps every known position: the index only learns an
        // id it did not have. Anything else may move pairs.
        const bool Appended = Action == cnAdded && Count() > 0 && &Item == &Items(Count() - 1);
        if (Appended && FIndexed)
            FIndex.try_emplace(Item.Key, TEntry { Count() - 1, false, {} });
        else if (!Appended)
            DropIndex();
    }
    inherited::Notify(Item, Action);
}

void TXW::Reordered()
{
    std::lock_guard Lock(FIndexLock);
    DropIndex();
}

void TXW::DropIndex()
{
    if (!FIndexed)
        return;
    FIndex.clear();
    FIndexed = false;
}

bool LoadWords(TXW* Table, TStream* Stream)
{
    String Text;
    const bool Read = Table && Stream && XGuarded(xecReadFailed, false, [&] {
        const Int64 Left = std::max<Int64>(Stream->Size() - Stream->Position(), 0);
        TXLoadBudget Budget(LoadLimit(Left, xzLanguageAllowance));
        TXLoadBudget::Charge(Left);
        RawBytes Bytes(size_t(Left), '\0');
        Bytes.resize(size_t(Stream->Read(Bytes.data(), Left)));
        Text = TableText(Bytes);
        // The text and the pairs it may make count before any is added, so
        // a table refused for its size adds nothing: lines of a few bytes
        // make pairs ten times larger.
        const Int64 Lines = Int64(std::count(Text.begin(), Text.end(), u'=')) + 1;
        TXLoadBudget::Charge(Int64(Text.size() * sizeof(Char)) + Lines * WordPairCost + Int64(Bytes.size()));
    });
    if (!Read)
        return false;
    ForEachLine(Text, [&](StringView Line) {
        const size_t Eq = Line.find(u'=');
        if (Eq == StringView::npos)
            return;
        const Cardinal Id = ParseId(Line.substr(0, Eq));
        if (Id != 0)
            Table->Add({ Id, StringToUTF8(Line.substr(Eq + 1)) });
    });
    return true;
}

// ---- TXLg ----

void TXLg::Create()
{
    FWords = MakeOwned<TXW>();
    FStreams.reset(New<TXBCollection>(static_cast<TPersistent*>(this)));
    inherited::Create();
}

void TXLg::Clear()
{
    if (FWords)
        FWords->Clear();
    if (FStreams)
        FStreams->Clear();
}

bool TXLg::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXLg>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    if (Other != this) {
        FWords->Clear();
        for (const auto& Pair : *Other->FWords)
            FWords->Add(Pair);
        FStreams->Assign(Other->FStreams.get());
        NotifyOnLoad = Other->NotifyOnLoad;
    }
    if (this == GLg)
        NotifyLanguageListeners();
    return true;
}

bool TXLg::LoadWordsFromStream(TStream* Stream, bool Rewind)
{
    if (Rewind && Stream)
        Stream->SetPosition(0);
    const bool Loaded = LoadWords(FWords.get(), Stream);
    if (NotifyOnLoad && this == GLg)
        NotifyLanguageListeners();
    return Loaded;
}

Cardinal TXLg::GetLgID() const
{
    const String Text = GetWord(1);
    if (Text.empty() || Text.size() > 10)
        return 0;
    UInt64 Value = 0;
    for (char16_t C : Text) {
        if (C < u'0' || C > u'9')
            return 0;
        Value = Value * 10 + (C - u'0');
    }
    return Value > 0xFFFFFFFFu ? 0 : Cardinal(Value);
}

TMemoryStream* TXLg::GetStream(const String& Name) const
{
    const Integer I = FStreams->IndexOfName(Name);
    if (I >= 0)
        return FStreams->Items(I)->Data()->DataStream();
    // Whatever a caller wrote into the shared answer last time is gone.
    X_VERIFY(GNoStream, "GetStream needs the unit XSpark.Lg");
    GNoStream->Clear();
    return GNoStream;
}

TXBI* TXLg::AddStream(const String& Kind, TStream* Stream, const String& Name)
{
    TXBI* Item = FStreams->Add();
    Item->SetDisplayName(Name);
    if (!Item->Data()->LoadFromStream(Kind, Stream)) {
        Item->Free();
        return nullptr;
    }
    return Item;
}

// ---- TXLgHeader ----

void TXLgHeader::Clear()
{
    inherited::Clear();
    SetName(String());
    FLgID = FAppID = FAppVer = 0;
    FRevision.clear();
    FAuthor.clear();
    FContact.clear();
    FComments.clear();
    FData.clear();
    FileName.clear();
    Stream = nullptr;
}

bool TXLgHeader::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXLgHeader>(Source)) {
        FLgID = Other->FLgID;
        FAppID = Other->FAppID;
        FAppVer = Other->FAppVer;
        FRevision = Other->FRevision;
        FAuthor = Other->FAuthor;
        FContact = Other->FContact;
        FComments = Other->FComments;
        FData = Other->FData;
        FileName = Other->FileName;
        Stream = Other->Stream;
    }
    return inherited::AssignFrom(Source);
}

// ---- TXLgProject ----

void TXLgProject::Create()
{
    FWords = MakeOwned<TMemoryStream>();
    FStreams.reset(New<TXBCollection>(static_cast<TPersistent*>(this)));
    inherited::Create();
}

void TXLgProject::Clear()
{
    inherited::Clear();
    if (FWords)
        FWords->Clear();
    if (FStreams)
        FStreams->Clear();
}

bool TXLgProject::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXLgProject>(Source); Other && Other != this) {
        FWords->Clear();
        FWords->CopyFrom(Other->FWords.get(), 0);
        FWords->SetPosition(0);
        FStreams->Assign(Other->FStreams.get());
    }
    return inherited::AssignFrom(Source);
}

// ---- TXLgHeaderList ----

Integer TXLgHeaderList::IndexOfLgID(Cardinal Id) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I) && Items(I)->LgID() == Id)
            return I;
    return -1;
}

Integer TXLgHeaderList::IndexOfBuiltIn() const
{
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I) && Items(I)->Stream)
            return I;
    return -1;
}

void TXLgHeaderList::SortLanguages()
{
    if (Count() < 2)
        return;
    Sort(TComparer<TObject*>::Construct([](TObject* const& L, TObject* const& R) -> Integer {
        const auto* A = static_cast<TXLgHeader*>(L);
        const auto* B = static_cast<TXLgHeader*>(R);
        const bool DefaultA = A->LgID() == DefaultLgID, DefaultB = B->LgID() == DefaultLgID;
        if (DefaultA != DefaultB)
            return DefaultA ? -1 : 1;
        return CompareText(A->Name(), B->Name());
    }));
}

// ---- language procedures ----

void RegisterLanguageListener(const TXAnyProcedure& Method)
{
    TLanguageListeners& L = Listeners();
    if (Method.IsEmpty() || L.IndexOf(Method) >= 0)
        return;
    L.Items.push_back(Method);
    if (!L.Suspended)
        Method.Invoke();
}

void UnregisterLanguageListener(const TXAnyProcedure& Method)
{
    TLanguageListeners& L = Listeners();
    const Integer I = Method.IsEmpty() ? -1 : L.IndexOf(Method);
    if (I < 0)
        return;
    if (L.Rounds > 0) {
        L.Items[size_t(I)] = TXAnyProcedure {};
        L.Holes = true;
    } else {
        L.Items.erase(L.Items.begin() + I);
    }
}

void NotifyLanguageListeners()
{
    TLanguageListeners& L = Listeners();
    if (L.Suspended)
        return;
    // Procedures registered during the round ran when they were added.
    const size_t End = L.Items.size();
    ++L.Rounds;
    for (size_t I = 0; I < End; ++I) {
        const TXAnyProcedure Method = L.Items[I];
        if (Method.IsEmpty())
            continue;
        if (!XGuarded(xecNone, false, [&] { Method.Invoke(); }))
            break;
    }
    --L.Rounds;
    L.Compact();
}

void SuspendLanguageListeners()
{
    Listeners().Suspended = true;
}

void ResumeLanguageListeners(bool CallNow)
{
    Listeners().Suspended = false;
    if (CallNow)
        NotifyLanguageListeners();
}

bool LanguageListenersSuspended()
{
    return Listeners().Suspended;
}
