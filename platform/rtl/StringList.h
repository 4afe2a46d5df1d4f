// TStrings, the abstract list of texts with an object each, and
// TStringList, the list that keeps them.
//
// TStrings builds everything on a few element operations (Count, Get, Put,
// GetObject, PutObject, Insert, Delete, Clear): Name=Value lines, the text
// with line breaks, delimited text, loading and saving. TStringList adds the
// sorted mode with binary search, duplicate rules, case sensitivity, owned
// objects and change events:
//
//     TOwnedPtr<TStringList> List(New<TStringList>());
//     List->SetSorted(true);
//     List->SetValues(u"Width", u"640");
#pragma once
#include "rtl/CodePages.h"
#include "rtl/Persistent.h"
#include <functional>
#include <vector>

class TStream;

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TStrings : public TPersistent {
    X_CLASS(TStrings, TPersistent)
public:
    virtual Integer Count() const = 0;
    String Strings(Integer Index) const { return Get(Index); }
    void SetStrings(Integer Index, const String& S) { Put(Index, S); }
    TObject* Objects(Integer Index) const { return GetObject(Index); }
    void SetObjects(Integer Index, TObject* AObject) { PutObject(Index, AObject); }

    virtual Integer Add(const String& S);
    virtual Integer AddObject(const String& S, TObject* AObject);
    void Append(const String& S) { Add(S); }
    virtual void AddStrings(TStrings* Strings);
    virtual void Insert(Integer Index, const String& S) = 0;
    virtual void InsertObject(Integer Index, const String& S, TObject* AObject);
    virtual void Delete(Integer Index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(Integer Index1, Integer Index2);
    virtual Integer IndexOf(const String& S) const;
    Integer IndexOfName(const String& Name) const;
    Integer IndexOfObject(TObject* AObject) const;
    // Same count and the same texts, case and all.
    bool Equals(TStrings* Strings) const;
    // Copies the texts, objects and the text options of a TStrings source.
    void Assign(TPersistent* Source) override;

    // Nested; change notifications wait for the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    Integer UpdateCount() const { return FUpdateCount; }

    // Name=Value lines. A line without the separator has an empty name and
    // an empty value. Setting an empty value deletes the line.
    String Names(Integer Index) const;
    String ValueFromIndex(Integer Index) const;
    void SetValueFromIndex(Integer Index, const String& Value);
    String Values(const String& Name) const;
    void SetValues(const String& Name, const String& Value);

    // Every line followed by LineBreak. Setting splits at CR, LF or CR LF
    // (at LineBreak itself when it is not CR LF).
    virtual String Text() const;
    virtual void SetText(const String& Value);
    // The lines joined by Delimiter, quoted with QuoteChar where needed.
    // Unless StrictDelimiter, blanks also separate and are trimmed.
    String DelimitedText() const;
    void SetDelimitedText(const String& Value);
    // DelimitedText with ',' '"' and blanks separating.
    String CommaText() const;
    void SetCommaText(const String& Value);

    Char Delimiter() const { return FDelimiter; }
    void SetDelimiter(Char C) { FDelimiter = C; }
    Char QuoteChar() const { return FQuoteChar; }
    void SetQuoteChar(Char C) { FQuoteChar = C; }
    Char NameValueSeparator() const { return FNameValueSeparator; }
    void SetNameValueSeparator(Char C) { FNameValueSeparator = C; }
    bool StrictDelimiter() const { return FStrictDelimiter; }
    void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }
    const String& LineBreak() const { return FLineBreak; }
    void SetLineBreak(const String& Value) { FLineBreak = Value; }

    // Text from the stream's position to its end: UTF-8 (a byte-order mark
    // is skipped) unless another code page is given.
    virtual void LoadFromStream(TStream* Stream, Word CodePage = CP_UTF8);
    // The Text, in UTF-8 without a byte-order mark unless another code page
    // is given.
    virtual void SaveToStream(TStream* Stream, Word CodePage = CP_UTF8) const;
    void LoadFromFile(const String& FileName, Word CodePage = CP_UTF8);
    // Writes a new file beside the old one and renames it over it, so a
    // failed save leaves the old file whole.
    void SaveToFile(const String& FileName, Word CodePage = CP_UTF8) const;

protected:
    virtual String Get(Integer Index) const = 0;
    virtual void Put(Integer Index, const String& S);
    virtual TObject* GetObject(Integer Index) const { return nullptr; }
    virtual void PutObject(Integer Index, TObject* AObject) { }
    virtual void SetUpdateState(bool Updating) { }
    virtual Integer CompareStrings(const String& S1, const String& S2) const;
    // Raises EStringListError with Msg formatted with Data.
    [[noreturn]] void Error(const char16_t* Msg, Integer Data) const;

private:
    Integer FUpdateCount = 0;
    Char FDelimiter = u',';
    Char FQuoteChar = u'"';
    Char FNameValueSeparator = u'=';
    bool FStrictDelimiter = false;
    String FLineBreak = u"\r\n";
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList;
// Negative, zero or positive as the item at Index1 sorts before, with or
// after the one at Index2.
using TStringListSortCompare = std::function<Integer(TStringList* List, Integer Index1, Integer Index2)>;

class TStringList : public TStrings {
    X_CLASS(TStringList, TStrings)
public:
    void Create() override { }
    void Create(bool AOwnsObjects) { FOwnsObjects = AOwnsObjects; }
    ~TStringList() override;

    Integer Count() const override { return Integer(FList.size()); }
    Integer Add(const String& S) override;
    Integer AddObject(const String& S, TObject* AObject) override;
    void Insert(Integer Index, const String& S) override;
    void InsertObject(Integer Index, const String& S, TObject* AObject) override;
    void Delete(Integer Index) override;
    void Clear() override;
    void Exchange(Integer Index1, Integer Index2) override;
    Integer IndexOf(const String& S) const override;
    // Binary search of a sorted list: true when found; Index is where S is
    // (the first of equal texts with dupAccept) or would be inserted.
    bool Find(const String& S, Integer& Index) const;
    // Sort a list that is not kept sorted; equal texts keep their order.
    virtual void Sort();
    virtual void CustomSort(TStringListSortCompare Compare);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
    // False (the default) compares as AnsiCompareText does.
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    // An owning list frees the objects of deleted lines and its own.
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    String Get(Integer Index) const override;
    void Put(Integer Index, const String& S) override;
    TObject* GetObject(Integer Index) const override;
    void PutObject(Integer Index, TObject* AObject) override;
    void SetUpdateState(bool Updating) override;
    Integer CompareStrings(const String& S1, const String& S2) const override;
    virtual void Changed();
    virtual void Changing();

private:
    struct TStringItem {
        String FString;
        TObject* FObject = nullptr;
    };
    std::vector<TStringItem> FList;
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
    TDuplicates FDuplicates = dupIgnore;

    void CheckIndex(Integer Index) const;
    void InsertItem(Integer Index, const String& S, TObject* AObject);
};
