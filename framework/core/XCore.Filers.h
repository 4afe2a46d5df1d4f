// Filers: one storage form (plain text, tagged text, XML, container file)
// for a data object and its collections. A filer lives for one load or
// save; its groups say what goes where:
//
//     class TMyFiler : public TXTagFiler {
//         void DefineGroups(TObject* Data, Integer Mode, const TXFilerParts& Parts) override
//         {
//             inherited::DefineGroups(Data, Mode, Parts);
//             Groups()->AddNamedGroup(this, TMyGroup::StaticClass(), List, Data, u"Notes");
//         }
//     };
//     if (!FilerLoadFromFile(Name, TMyFiler::StaticClass(), Data, false, nullptr))
//         ... GetXErrorCode(): xecFileNotFound, xecOpenFailed, xecReadFailed ...
//
// Operations answer a Boolean and leave the reason for a failure in the
// calling thread's error record: xecReadFailed for loads, xecWriteFailed
// for saves (an earlier code is kept), xecOpenFailed with the errno for a
// file that cannot be opened or created, xecFileNotFound for a missing
// file. With RaiseErrors the recorded code is raised as EXError once the
// operation has cleaned up.
#pragma once
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include "core/XCore.Engine.Progress.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Locale.h"
#include <array>
#include <bitset>

class TXFiler;

// Parts of a storage form that a filer is asked for: any of 0..255.
using TXFilerParts = std::bitset<256>;
// Parts as given; with none given, the part numbered Mode (when it is one).
TXFilerParts PartsOrMode(const TXFilerParts& Parts, Integer Mode);
// Read and write options: bit n is option n.
using TXFilerOptions = std::bitset<8>;

struct IXFilerable : IInterface {
    X_GUID("{3C0E51D8-6F0B-4A57-9E0C-2D71B1F4A6E3}")
    virtual Integer GetIndex() = 0;
    virtual void SetIndex(Integer Value) = 0;
    virtual String GetFilterText() = 0;
    virtual void SetFilterText(const String& Value) = 0;
};

// Bit 5 of a stored object's state flags: its data has been loaded.
inline constexpr Cardinal xsfDataLoaded = Cardinal(1) << 5;
bool IsDataLoaded(Cardinal Flags);

// What a filer stores beside an object or a collection item: the header
// number it was read from and the filter text written with it. The
// filerable object and item are this over their two bases.
template<class Base>
class TXFilerableOf : public Base, public IXFilerable {
    X_CLASS_TEMPLATE(TXFilerableOf, Base, u"TXFilerableOf<T>")
    X_INTERFACES(TXFilerableOf, IXFilerable)
    X_FORWARD_IINTERFACE(Base)
public:
    void Clear() override
    {
        Base::Clear();
        FIndex = -1;
        FFilterText.clear();
    }
    // Index and filter text from another object of the same base, then the
    // base's own.
    bool AssignFrom(TPersistent* Source) override
    {
        if (auto* Other = DynamicCast<TXFilerableOf>(Source)) {
            FIndex = Other->FIndex;
            FFilterText = Other->FFilterText;
        }
        return Base::AssignFrom(Source);
    }

    Integer GetIndex() override { return FIndex; }
    void SetIndex(Integer Value) override { FIndex = Value; }
    String GetFilterText() override { return FFilterText; }
    void SetFilterText(const String& Value) override { FFilterText = Value; }

private:
    Integer FIndex = -1;
    String FFilterText;
};

class TXFilerablePersistent : public TXFilerableOf<TXLocalizedPersistent> {
    X_CLASS(TXFilerablePersistent, TXFilerableOf<TXLocalizedPersistent>)
};

class TXFilerableItem : public TXFilerableOf<TXLocalizedCollectionItem> {
    X_CLASS(TXFilerableItem, TXFilerableOf<TXLocalizedCollectionItem>)
};

// One extra data record of an object: its name, language, resource number
// and filter, the bytes read for it and the object they belong to.
class TXDataIndexItem : public TXFilerableItem {
    X_CLASS(TXDataIndexItem, TXFilerableItem)
public:
    void Init() override;

    String GetName() override { return TXFilerableItem::GetName(); }
    void SetName(const String& Value) override { TXFilerableItem::SetName(Value); }
    Integer Idx() const { return FIdx; }
    void SetIdx(Integer Value) { FIdx = Value; }
    String XFilter() { return GetFilterText(); }
    void SetXFilter(const String& Value) { SetFilterText(Value); }

    TMemoryStream* Stream() const { return FStream.get(); }
    // A stream, a string item, another persistent or anything a group
    // writes itself; not owned.
    TObject* Target = nullptr;
    bool Bound = false;

private:
    Integer FIdx = 0;
    TOwnedPtr<TMemoryStream> FStream;
};

class TXDataIndexCollection : public TXLocalizedCollection<TXDataIndexItem> {
    X_CLASS(TXDataIndexCollection, TXLocalizedCollection<TXDataIndexItem>)
public:
    using inherited::Create;

    // Appends an entry whose Idx is its position plus BaseNumber; the
    // caller sets its target.
    TXDataIndexItem* AddEntry(const String& Name, const String& Filter, Cardinal LgID);
    // Idx of the first entry of that name (exact); 0 when none.
    Integer IdxOfName(const String& Name) const;
    // Idx of the entry of that name in the best language: LgID, its primary
    // language, the collection's language, the neutral language 0 and, with
    // TryEnglish and a collection language other than 9, English; 0 when none.
    Integer IdxOfNameLg(const String& Name, Cardinal LgID, bool TryEnglish = true) const;

    Integer BaseNumber = 0;

private:
    Integer IdxOfNameExactLg(const String& Name, Cardinal LgID, bool Primary) const;
};

class TXDataIndex : public TXFilerablePersistent {
    X_CLASS(TXDataIndex, TXFilerablePersistent)
public:
    void Init() override;
    void Clear() override;
    bool AssignFrom(TPersistent* Source) override;
    // Also the collection's language.
    void SetLgID(Cardinal Value) override;

    TXDataIndexCollection* DataIndex() const { return FDataIndex.get(); }
    bool Enabled = false;

private:
    TOwnedPtr<TXDataIndexCollection> FDataIndex;
};

// One object and/or one collection stored under one name.
class TXFilerGroup : public TPersistent {
    X_CLASS(TXFilerGroup, TPersistent)
public:
    // Hooks of reading and writing; True (go on) in the base.
    virtual bool AfterLoadData(TStream* Stream, Integer Flag) { return true; }
    virtual bool BeforeStoreItemData(TStream* Stream, Integer Flag) { return true; }
    virtual void BeforeClear() { }
    virtual bool BeforeReadObject(Integer Flag) { return true; }
    // Its answer is the result of reading the object.
    virtual bool Prepare(Integer Flag) { return true; }
    virtual bool BeforeWriteObject(Integer Flag) { return true; }
    virtual bool AfterReadItem(TObject* Item, Integer Flag) { return true; }
    virtual bool BeforeWriteItem(TObject* Item, Integer Flag) { return true; }
    void Create() override;
    // Its answer is the group's read result.
    virtual bool AfterRead(Integer Flag) { return true; }
    virtual bool BeforeWrite(Integer Flag) { return true; }
    virtual bool ReadObjectText(const UTF8String& Text, TXProgress* Progress) { return true; }
    virtual bool WriteObjectText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors);
    // The item read (null: the read failed).
    virtual TObject* ReadItemText(TObject* Item, const UTF8String& Text, TXProgress* Progress) { return Item; }
    virtual bool WriteItemText(TObject* Item, UTF8String& Text, Integer Flag, TXProgress* Progress);
    virtual bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors);

    // BeforeClear, then empties the collection.
    void Clear();
    // The class an object named by the data must descend from: ItemClass
    // when set, else the item class of the collection or typed list; null
    // when neither says.
    TClass ExpectedItemClass() const;

    TXFiler* Filer = nullptr;
    String Name;
    TObject* Data = nullptr;
    // A TCollection, a TObjectList or a TComponentList; not owned.
    TObject* Collection = nullptr;
    // Items whose filter text is not listed are skipped on reading; empty:
    // no filter.
    TStringList* Filter() const { return FFilter.get(); }
    TXFilerOptions ReadOptions;
    TXFilerOptions WriteOptions;
    Integer Param1 = 0;
    Integer Param2 = 0;
    // The class that objects created from data must descend from, where
    // the collection itself does not name one.
    TClass ItemClass = nullptr;

private:
    TOwnedPtr<TStringList> FFilter;
};

class TXFilerGroupList : public Generics::TObjectList<TXFilerGroup> {
    X_CLASS(TXFilerGroupList, Generics::TObjectList<TXFilerGroup>)
public:
    // Makes a group of GroupClass (a TXFilerGroup class) through its
    // constructor and appends it; EInvalidCast for another class.
    TXFilerGroup* AddNamedGroup(TXFiler* Filer, TClass GroupClass, TObject* Collection, TObject* Data,
        const String& Name);
    TXFilerGroup* AddGroup(TXFiler* Filer, TClass GroupClass, TObject* Collection, TObject* Data);
};

class TXFiler : public TPersistent {
    X_CLASS(TXFiler, TPersistent)
public:
    virtual bool BeforeLoad() { return true; }
    virtual bool AfterLoad() { return true; }
    virtual bool BeforeSave() { return true; }
    virtual bool AfterSave() { return true; }
    void Create() override;
    // Keeps its arguments and empties the group list; descendants add
    // their groups.
    virtual void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts);
    virtual bool LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool LoadFromRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors);
    virtual bool LoadFromTextAlt(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool LoadFromRawTextAlt(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors);
    // By the read mode: 0 empties every group's collection and loads, 1
    // loads on top, 2 loads with the alternative reader, others fail.
    virtual bool ReadText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool ReadRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors);
    // The bytes SaveToStream writes; they are UTF-8 for the text filers.
    virtual bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors);
    virtual bool SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors);
    virtual bool UpdateFile(const String& FileName, TXProgress* Progress, bool RaiseErrors);
    virtual bool UpdateFileAlt(const String& FileName, TXProgress* Progress, bool RaiseErrors);

    bool ReadStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors);
    // Opened read-only, others may read but not write.
    bool ReadFile(const String& FileName, TXProgress* Progress, bool RaiseErrors);
    // Creates (truncates) the file, exclusive, and saves into it.
    bool WriteFile(const String& FileName, TXProgress* Progress, bool RaiseErrors);
    void ResetParams() { Params.fill(0); }

    TObject* Data() const { return FData; }
    TXFilerGroupList* Groups() const { return FGroups.get(); }
    Integer Mode() const { return FMode; }
    const TXFilerParts& Parts() const { return FParts; }
    Integer ReadMode = 0;
    // For descendants; every load and save starts them at 0.
    std::array<Integer, 4> Params {};
    // Where a container starts inside the stream.
    Int64 BaseOffset = 0;

protected:
    // Records Code once on failure, raises it with RaiseErrors; answers Ok.
    static bool Report(bool Ok, TXErrorCode Code, bool RaiseErrors);

private:
    bool ReadByMode(const std::function<bool()>& Load, const std::function<bool()>& LoadAlt, TXProgress* Progress,
        bool RaiseErrors);
    TObject* FData = nullptr;
    TOwnedPtr<TXFilerGroupList> FGroups;
    Integer FMode = 0;
    TXFilerParts FParts;
};

// Writes its object and then every item, in order.
class TXTextFilerGroup : public TXFilerGroup {
    X_CLASS(TXTextFilerGroup, TXFilerGroup)
public:
    bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors) override;
};

// Text forms: the stream is UTF-8 text (a byte-order mark is skipped).
class TXTextFiler : public TXFiler {
    X_CLASS(TXTextFiler, TXFiler)
public:
    // Fail with xecReadFailed here: descendants parse.
    bool LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromTextAlt(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromRawTextAlt(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    // Every group's text, in group order.
    bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
};

// The data object is a string list; the text is its lines.
class TXStringsFiler : public TXTextFiler {
    X_CLASS(TXStringsFiler, TXTextFiler)
public:
    bool LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
};

// A simple tagged text: "<tag>" CRLF body CRLF "</tag>", items as
// <item name="...">. Descendants give the bodies.
class TXTagFilerGroup : public TXTextFilerGroup {
    X_CLASS(TXTagFilerGroup, TXTextFilerGroup)
public:
    bool WriteObjectText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool WriteItemText(TObject* Item, UTF8String& Text, Integer Flag, TXProgress* Progress) override;
    bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    virtual void ObjectToText(Integer Flag, UTF8String& Text) { Text.clear(); }
    virtual void ItemToText(TObject* Item, Integer Flag, UTF8String& Text) { Text.clear(); }

    // Reads this group's part of a whole tag text.
    bool ReadTagText(const UTF8String& Text, TXProgress* Progress);

    UTF8String ObjectTag;
    UTF8String ItemTag;

private:
    bool ReadTagItems(const UTF8String& Section, TXProgress* Progress);
    bool ReadCollectionItem(TCollection* Target, const UTF8String& ItemText, const UTF8String& ItemName,
        TXProgress* Progress);
    bool ReadListItem(TObjectList* Target, const UTF8String& ItemText, const UTF8String& ItemName,
        TXProgress* Progress);
};

class TXTagFiler : public TXTextFiler {
    X_CLASS(TXTagFiler, TXTextFiler)
public:
    bool LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;
    // The tagged text is UTF-8 whichever way it comes.
    bool LoadFromRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors) override;
    bool SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors) override;

    UTF8String RootTag;
};

// "<Tag>" CRLF Body CRLF "</Tag>"; with a name "<Tag name="Name">".
UTF8String TagElement(const UTF8String& Tag, const UTF8String& Body, const UTF8String* Name = nullptr);

// The load and save routines: a filer of FilerClass is made, given its
// groups for Data, run once and freed; the progress is finished in every
// case.
bool FilerLoadFromString(const RawBytes& Source, TClass FilerClass, TObject* Data, bool RaiseErrors,
    TXProgress* Progress, const TXFilerParts& Parts = {}, Integer Mode = 0);
bool FilerLoadFromStream(TStream* Source, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts = {}, Integer Mode = 0);
bool FilerSaveToStream(TStream* Target, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts = {}, Integer Mode = 0);
// A missing file records xecFileNotFound with the file name and loads nothing.
bool FilerLoadFromFile(const String& FileName, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts = {}, Integer Mode = 0);
// Both file saves make the whole output first and give it to the target
// with one rename of a new file beside it: a failure leaves the old file
// as it was and no temporary file behind.
bool FilerSaveToFile(const String& FileName, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts = {}, Integer Mode = 0);
bool FilerSaveToFileViaTemp(const String& FileName, TClass FilerClass, TObject* Data, bool RaiseErrors,
    TXProgress* Progress, const TXFilerParts& Parts = {}, Integer Mode = 0);
