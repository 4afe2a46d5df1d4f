// Container filers: a data object and its collections in a container file.
// Every filer group becomes one container group; the group's object is its
// first header, every collection item one more header. Binary data of
// stream objects is kept out of the objects' own bytes and stored as
// resources listed in a data index:
//
//     class TNotesFiler : public TXRStreamFiler {
//         void DefineGroups(TObject* Data, Integer Mode, const TXFilerParts& Parts) override
//         {
//             inherited::DefineGroups(Data, Mode, Parts);
//             Groups()->AddNamedGroup(this, TXRStreamItemsFilerGroup::StaticClass(), Notes, nullptr, u"Streams");
//         }
//     };
//
// Resources of the object header: 0 the object (-3), 1 the data index
// (-6), then the index entries. Of an item header: 0 the filter text
// (-1), 1 the item (-4 collection item, -5 component, -3 other), 2 the
// data index (-6), then the entries.
#pragma once
#include "core/XCore.Filers.h"
#include "core/XCore.QStream.h"

class TXRStreamFiler : public TXFiler {
    X_CLASS(TXRStreamFiler, TXFiler)
public:
    void Create() override;

    // Identity checks on every container opened for reading: an empty
    // identity takes any; one with a name wants values 1 to 5 and the name,
    // without a name values 1 to 5 (42 otherwise).
    virtual bool CheckIdentity(TXRStream* Stream);
    // Unless the identity is empty: sets it and writes the file header.
    virtual bool WriteIdentity(TXRStream* Stream);
    // Reads every container group; always true (a failed group leaves 44).
    virtual bool ReadGroups(TXRStream* Stream, TXProgress* Progress);
    // Writes every group in order; false when one failed (45 recorded),
    // so that a save keeps the old file and an update is undone.
    virtual bool WriteGroups(TXRStream* Stream, TXProgress* Progress);
    // The allowance of the load rule (LoadLimit) for a load of this kind
    // of file; xzMaxInflatedSize leaves a load the general budget.
    virtual Int64 LoadAllowance() const;

    bool LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    bool SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    // An existing file: the groups are added behind its records (scanned);
    // a failure cuts the file back to what it was. Else a new file.
    bool UpdateFile(const String& FileName, TXProgress* Progress, bool RaiseErrors) override;
    // As UpdateFile, appending without a scan.
    bool UpdateFileAlt(const String& FileName, TXProgress* Progress, bool RaiseErrors) override;

    // The container stream class (a TXRStream descendant).
    TClass StreamClass = nullptr;
    TXRIdentity Identity;

protected:
    TOwnedPtr<TXRStream> NewContainer();

private:
    bool Update(const String& FileName, bool Append, TXProgress* Progress, bool RaiseErrors);
};

class TXRStreamObjectFiler : public TXRStreamFiler {
    X_CLASS(TXRStreamObjectFiler, TXRStreamFiler)
public:
    void Create() override;
};

class TXRStreamFilerGroup : public TXFilerGroup {
    X_CLASS(TXRStreamFilerGroup, TXFilerGroup)
public:
    void Create() override;

    // Hooks for descendants that bind data index entries to streams.
    virtual void ObjectDataLoaded() { }
    virtual void RegisterObjectData() { }
    // False: the entry could not be written.
    virtual bool WriteObjectCustomData(TXRStream* Stream, TXDataIndexItem* Entry) { return false; }
    virtual void ItemDataLoaded(TObject* Item) { }
    virtual void RegisterItemData(TObject* Item) { }
    virtual bool WriteItemCustomData(TXRStream* Stream, TObject* Item, TXDataIndexItem* Entry) { return false; }

    virtual bool ReadObjectData(TXRStream* Stream, TXProgress* Progress);
    virtual bool ReadObject(TXRStream* Stream, TXProgress* Progress);
    virtual bool WriteObjectData(TXRStream* Stream, TXProgress* Progress);
    virtual bool WriteObject(TXRStream* Stream, TXProgress* Progress);
    virtual bool ReadItemData(TObject* Item, TXRStream* Stream, TXProgress* Progress, Integer HeaderIndex);
    virtual bool WriteItemData(TObject* Item, TXRStream* Stream, TXProgress* Progress);

    // Sets the resource count, the index base, enables the index by the
    // write options and registers the entries.
    bool BeforeWriteObject(Integer Flag) override;
    bool BeforeWriteItem(TObject* Item, Integer Flag) override;

    // This group's part of the container: false when it failed (44 or 45).
    bool ReadGroup(TXRStream* Stream, TXProgress* Progress);
    bool WriteGroup(TXRStream* Stream, TXProgress* Progress);

    // The container group's name: Name, or the group class's own.
    String GroupName() const { return Name.empty() ? DefaultName : Name; }
    TXDataIndex* DataIndex() const { return FDataIndex.get(); }
    TXDataIndexCollection* Entries() const { return FDataIndex->DataIndex(); }

    Integer ObjectHeaderKind = 3;
    Integer ItemHeaderKind = 4;
    Integer ObjectFixedResources = 2;
    Integer ItemFixedResources = 3;
    // Resources of the header being read or written.
    Integer ResourceCount = 0;
    String DefaultName;

protected:
    // Binds the index entry Name to Target (emptied first), when it exists.
    void BindEntry(const String& Name, TStream* Target, bool EmptyFirst = true);
    // Adds an entry for Target.
    void RegisterEntry(const String& Name, TStream* Target);

private:
    bool ReadIndexedData(TXRStream* Stream, TXRHeaderObject* Header, Integer IndexResource,
        const std::function<void()>& Loaded);
    bool WriteIndexedData(TXRStream* Stream, const std::function<bool(TXDataIndexItem*)>& Custom);
    // Reads item HeaderIndex; code -1 when the filter left it out.
    bool ReadItem(TXRStream* Stream, TXProgress* Progress, Integer HeaderIndex);
    bool WriteItem(TXRStream* Stream, TXProgress* Progress, TObject* Item);
    bool PrepareWrite(Integer Fixed, bool EnableIndex, const std::function<void()>& Register);
    TOwnedPtr<TXDataIndex> FDataIndex;
};

// Items that are stream items: "Data" is the item's data stream.
class TXRStreamItemsFilerGroup : public TXRStreamFilerGroup {
    X_CLASS(TXRStreamItemsFilerGroup, TXRStreamFilerGroup)
public:
    void Create() override;
    void ItemDataLoaded(TObject* Item) override;
    void RegisterItemData(TObject* Item) override;
};

// A data object that is a stream object: "Data" is its data stream.
class TXRStreamObjectFilerGroup : public TXRStreamFilerGroup {
    X_CLASS(TXRStreamObjectFilerGroup, TXRStreamFilerGroup)
public:
    void Create() override;
    void ObjectDataLoaded() override;
    void RegisterObjectData() override;
};
