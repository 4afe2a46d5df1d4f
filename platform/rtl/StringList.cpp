#include "rtl/StringList.h"
#include "rtl/StableSort.h"
#include "rtl/SafeSave.h"
#include "rtl/Format.h"
#include "rtl/StrUtils.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <numeric>

X_REGISTER_CLASS(TStrings)
X_REGISTER_CLASS(TStringList)

namespace {

// Holds a list's update state for a scope.
class TUpdateScope {
public:
    explicit TUpdateScope(TStrings* List)
        : FList(List)
    {
        FList->BeginUpdate();
    }
    ~TUpdateScope() { FList->EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TStrings* FList;
};


}

// ---- TStrings

void TStrings::Error(const char16_t* Msg, Integer Data) const
{
    throw EStringListError(Format(Msg, { Data }));
}

Integer TStrings::CompareStrings(const String& S1, const String& S2) const
{
    return AnsiCompareText(S1, S2);
}

Integer TStrings::Add(const String& S)
{
    Integer Result = Count();
    Insert(Result, S);
    return Result;
}

Integer TStrings::AddObject(const String& S, TObject* AObject)
{
    Integer Result = Add(S);
    PutObject(Result, AObject);
    return Result;
}

void TStrings::AddStrings(TStrings* Strings)
{
    if (!Strings)
        return;
    TUpdateScope Update(this);
    // Counted up front: the source may be this list.
    Integer N = Strings->Count();
    for (Integer I = 0; I < N; ++I)
        AddObject(Strings->Get(I), Strings->GetObject(I));
}

void TStrings::InsertObject(Integer Index, const String& S, TObject* AObject)
{
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::Put(Integer Index, const String& S)
{
    TObject* Obj = GetObject(Index);
    TUpdateScope Update(this);
    Delete(Index);
    InsertObject(Index, S, Obj);
}

void TStrings::Exchange(Integer Index1, Integer Index2)
{
    TUpdateScope Update(this);
    String S1 = Get(Index1), S2 = Get(Index2);
    TObject* O1 = GetObject(Index1);
    TObject* O2 = GetObject(Index2);
    Put(Index1, S2);
    PutObject(Index1, O2);
    Put(Index2, S1);
    PutObject(Index2, O1);
}

Integer TStrings::IndexOf(const String& S) const
{
    for (Integer I = 0, N = Count(); I < N; ++I)
        if (CompareStrings(Get(I), S) == 0)
            return I;
    return -1;
}

Integer TStrings::IndexOfName(const String& Name) const
{
    for (Integer I = 0, N = Count(); I < N; ++I) {
        String S = Get(I);
        size_t P = S.find(FNameValueSeparator);
        if (P != String::npos && CompareStrings(S.substr(0, P), Name) == 0)
            return I;
    }
    return -1;
}

Integer TStrings::IndexOfObject(TObject* AObject) const
{
    for (Integer I = 0, N = Count(); I < N; ++I)
        if (GetObject(I) == AObject)
            return I;
    return -1;
}

bool TStrings::Equals(TStrings* Strings) const
{
    if (!Strings || Strings->Count() != Count())
        return false;
    for (Integer I = 0, N = Count(); I < N; ++I)
        if (Get(I) != Strings->Get(I))
            return false;
    return true;
}

void TStrings::Assign(TPersistent* Source)
{
    auto* Src = DynamicCast<TStrings>(Source);
    if (!Src) {
        inherited::Assign(Source);
        return;
    }
    if (Src == this)
        return;
    TUpdateScope Update(this);
    Clear();
    FDelimiter = Src->FDelimiter;
    FQuoteChar = Src->FQuoteChar;
    FNameValueSeparator = Src->FNameValueSeparator;
    FStrictDelimiter = Src->FStrictDelimiter;
    FLineBreak = Src->FLineBreak;
    AddStrings(Src);
}

void TStrings::BeginUpdate()
{
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        SetUpdateState(false);
}

String TStrings::Names(Integer Index) const
{
    String S = Get(Index);
    size_t P = S.find(FNameValueSeparator);
    return P == String::npos ? String() : S.substr(0, P);
}

String TStrings::ValueFromIndex(Integer Index) const
{
    if (Index < 0)
        return {};
    String S = Get(Index);
    size_t P = S.find(FNameValueSeparator);
    return P == String::npos ? String() : S.substr(P + 1);
}

void TStrings::SetValueFromIndex(Integer Index, const String& Value)
{
    if (Value.empty()) {
        if (Index >= 0)
            Delete(Index);
        return;
    }
    if (Index < 0) {
        Add(String(1, FNameValueSeparator) + Value);
        return;
    }
    Put(Index, Names(Index) + FNameValueSeparator + Value);
}

String TStrings::Values(const String& Name) const
{
    return ValueFromIndex(IndexOfName(Name));
}

void TStrings::SetValues(const String& Name, const String& Value)
{
    Integer I = IndexOfName(Name);
    if (Value.empty()) {
        if (I >= 0)
            Delete(I);
        return;
    }
    String Line = Name + FNameValueSeparator + Value;
    if (I < 0)
        Add(Line);
    else
        Put(I, Line);
}

String TStrings::Text() const
{
    String Out;
    for (Integer I = 0, N = Count(); I < N; ++I) {
        Out += Get(I);
        Out += FLineBreak;
    }
    return Out;
}

void TStrings::SetText(const String& Value)
{
    TUpdateScope Update(this);
    Clear();
    size_t I = 0, N = Value.size();
    if (FLineBreak != u"\r\n" && !FLineBreak.empty()) {
        while (I < N) {
            size_t P = Value.find(FLineBreak, I);
            if (P == String::npos) {
                Add(Value.substr(I));
                break;
            }
            Add(Value.substr(I, P - I));
            I = P + FLineBreak.size();
        }
        return;
    }
    while (I < N) {
        size_t P = I;
        while (P < N && Value[P] != u'\r' && Value[P] != u'\n')
            ++P;
        Add(Value.substr(I, P - I));
        if (P < N && Value[P] == u'\r')
            ++P;
        if (P < N && Value[P] == u'\n')
            ++P;
        I = P;
    }
}

String TStrings::DelimitedText() const
{
    Integer N = Count();
    if (N == 1 && Get(0).empty())
        return String(2, FQuoteChar);
    String Out;
    for (Integer I = 0; I < N; ++I) {
        String S = Get(I);
        bool Quote = std::any_of(S.begin(), S.end(),
            [&](Char C) { return C == FQuoteChar || C == FDelimiter || C == 0 || (!FStrictDelimiter && C <= u' '); });
        if (I > 0)
            Out.push_back(FDelimiter);
        Out += Quote ? AnsiQuotedStr(S, FQuoteChar) : S;
    }
    return Out;
}

void TStrings::SetDelimitedText(const String& Value)
{
    TUpdateScope Update(this);
    Clear();
    // A NUL ends the text, as it always has for these lists.
    size_t N = std::min(Value.size(), Value.find(Char(0)));
    size_t I = 0;
    auto SkipBlanks = [&]() {
        if (!FStrictDelimiter)
            while (I < N && Value[I] <= u' ')
                ++I;
    };
    SkipBlanks();
    while (I < N) {
        String S;
        if (Value[I] == FQuoteChar) {
            ++I;
            while (I < N) {
                if (Value[I] == FQuoteChar) {
                    if (I + 1 < N && Value[I + 1] == FQuoteChar) {
                        S.push_back(FQuoteChar);
                        I += 2;
                        continue;
                    }
                    ++I;
                    break;
                }
                S.push_back(Value[I++]);
            }
        } else {
            size_t Start = I;
            while (I < N && Value[I] != FDelimiter && (FStrictDelimiter || Value[I] > u' '))
                ++I;
            S = Value.substr(Start, I - Start);
        }
        Add(S);
        SkipBlanks();
        if (I < N && Value[I] == FDelimiter) {
            ++I;
            if (I >= N)
                Add(String());
            SkipBlanks();
        }
    }
}

String TStrings::CommaText() const
{
    auto* Self = const_cast<TStrings*>(this);
    Char D = FDelimiter, Q = FQuoteChar;
    bool Strict = FStrictDelimiter;
    Self->FDelimiter = u',';
    Self->FQuoteChar = u'"';
    Self->FStrictDelimiter = false;
    String Out = DelimitedText();
    Self->FDelimiter = D;
    Self->FQuoteChar = Q;
    Self->FStrictDelimiter = Strict;
    return Out;
}

void TStrings::SetCommaText(const String& Value)
{
    Char D = FDelimiter, Q = FQuoteChar;
    bool Strict = FStrictDelimiter;
    FDelimiter = u',';
    FQuoteChar = u'"';
    FStrictDelimiter = false;
    try {
        SetDelimitedText(Value);
    } catch (...) { // puts the settings back, then passes the exception on
        FDelimiter = D;
        FQuoteChar = Q;
        FStrictDelimiter = Strict;
        throw;
    }
    FDelimiter = D;
    FQuoteChar = Q;
    FStrictDelimiter = Strict;
}

void TStrings::LoadFromStream(TStream* Stream, Word CodePage)
{
    // Read to the end rather than trusting Size: some streams do not know it.
    std::string Bytes;
    char Buf[65536];
    for (;;) {
        Int64 Got = Stream->Read(Buf, sizeof Buf);
        if (Got <= 0)
            break;
        Bytes.append(Buf, size_t(Got));
    }
    std::string_view View = Bytes;
    if (CodePage == CP_UTF8 && View.substr(0, 3) == "\xEF\xBB\xBF")
        View.remove_prefix(3);
    SetText(FromCodePage(View, CodePage));
}

void TStrings::SaveToStream(TStream* Stream, Word CodePage) const
{
    TCodePageString Bytes = ToCodePage(Text(), CodePage);
    Stream->WriteBuffer(Bytes.Bytes.data(), Int64(Bytes.Bytes.size()));
}

void TStrings::LoadFromFile(const String& FileName, Word CodePage)
{
    TOwnedPtr<TFileStream> F(New<TFileStream>(FileName, Word(fmOpenRead | fmShareDenyWrite)));
    LoadFromStream(F.get(), CodePage);
}

void TStrings::SaveToFile(const String& FileName, Word CodePage) const
{
    TOwnedPtr<TMemoryStream> Data(New<TMemoryStream>());
    SaveToStream(Data.get(), CodePage);
    SaveBytesToFileSafely(FileName,
        std::string_view(reinterpret_cast<const char*>(Data->Memory()), size_t(Data->Size())));
}

// ---- TStringList

TStringList::~TStringList()
{
    OnChange = nullptr;
    OnChanging = nullptr;
    if (FOwnsObjects)
        for (TStringItem& Item : FList)
            if (TObject* O = std::exchange(Item.FObject, nullptr))
                O->Free();
}

void TStringList::CheckIndex(Integer Index) const
{
    if (Index < 0 || Index >= Count())
        Error(RtlText::ListIndexError, Index);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

void TStringList::SetUpdateState(bool Updating)
{
    if (Updating)
        Changing();
    else
        Changed();
}

Integer TStringList::CompareStrings(const String& S1, const String& S2) const
{
    return FCaseSensitive ? CompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

String TStringList::Get(Integer Index) const
{
    CheckIndex(Index);
    return FList[size_t(Index)].FString;
}

TObject* TStringList::GetObject(Integer Index) const
{
    CheckIndex(Index);
    return FList[size_t(Index)].FObject;
}

void TStringList::Put(Integer Index, const String& S)
{
    if (FSorted)
        Error(RtlText::SortedListError, 0);
    CheckIndex(Index);
    Changing();
    FList[size_t(Index)].FString = S;
    Changed();
}

void TStringList::PutObject(Integer Index, TObject* AObject)
{
    CheckIndex(Index);
    Changing();
    FList[size_t(Index)].FObject = AObject;
    Changed();
}

Integer TStringList::Add(const String& S)
{
    return AddObject(S, nullptr);
}

Integer TStringList::AddObject(const String& S, TObject* AObject)
{
    Integer Result = Count();
    if (FSorted && Find(S, Result)) {
        if (FDuplicates == dupIgnore)
            return Result;
        if (FDuplicates == dupError)
            Error(RtlText::DuplicateString, 0);
    }
    InsertItem(Result, S, AObject);
    return Result;
}

void TStringList::Insert(Integer Index, const String& S)
{
    InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(Integer Index, const String& S, TObject* AObject)
{
    if (FSorted)
        Error(RtlText::SortedListError, 0);
    if (Index < 0 || Index > Count())
        Error(RtlText::ListIndexError, Index);
    InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(Integer Index, const String& S, TObject* AObject)
{
    Changing();
    FList.insert(FList.begin() + Index, TStringItem { S, AObject });
    Changed();
}

void TStringList::Delete(Integer Index)
{
    CheckIndex(Index);
    Changing();
    TObject* Obj = FList[size_t(Index)].FObject;
    FList.erase(FList.begin() + Index);
    if (FOwnsObjects && Obj)
        Obj->Free();
    Changed();
}

void TStringList::Clear()
{
    if (FList.empty())
        return;
    Changing();
    std::vector<TStringItem> Old;
    Old.swap(FList);
    if (FOwnsObjects)
        for (TStringItem& Item : Old)
            if (Item.FObject)
                Item.FObject->Free();
    Changed();
}

void TStringList::Exchange(Integer Index1, Integer Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
    Changed();
}

bool TStringList::Find(const String& S, Integer& Index) const
{
    bool Found = false;
    Integer L = 0, H = Count() - 1;
    while (L <= H) {
        Integer I = L + (H - L) / 2;
        Integer C = CompareStrings(FList[size_t(I)].FString, S);
        if (C < 0) {
            L = I + 1;
        } else {
            H = I - 1;
            if (C == 0) {
                Found = true;
                if (FDuplicates != dupAccept)
                    L = I;
            }
        }
    }
    Index = L;
    return Found;
}

Integer TStringList::IndexOf(const String& S) const
{
    if (!FSorted)
        return inherited::IndexOf(S);
    Integer I;
    return Find(S, I) ? I : -1;
}

void TStringList::Sort()
{
    CustomSort([](TStringList* List, Integer A, Integer B) {
        return List->CompareStrings(List->FList[size_t(A)].FString, List->FList[size_t(B)].FString);
    });
}

void TStringList::CustomSort(TStringListSortCompare Compare)
{
    if (FSorted || FList.size() < 2)
        return;
    Changing();
    // The comparison sees the list as it was: the order is worked out on
    // positions and applied once at the end.
    std::vector<Integer> Order =
        MergeSortPositions(Integer(FList.size()), [&](Integer A, Integer B) { return Compare(this, A, B) < 0; });
    std::vector<TStringItem> Sorted;
    Sorted.reserve(FList.size());
    for (Integer I : Order)
        Sorted.push_back(std::move(FList[size_t(I)]));
    FList.swap(Sorted);
    Changed();
}

void TStringList::SetSorted(bool Value)
{
    if (Value == FSorted)
        return;
    if (Value)
        Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value)
{
    if (Value == FCaseSensitive)
        return;
    FCaseSensitive = Value;
    if (FSorted) {
        FSorted = false;
        Sort();
        FSorted = true;
    }
}
