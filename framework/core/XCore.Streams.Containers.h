// Stored data blobs: a named piece of binary data (a picture, a help text,
// a language stream) with its kind, version, size and time stamp, which
// travels inside stored objects as the binary property "Data", or zlib
// compressed as "CData":
//
//     TOwnedPtr<TXStreamObject> Blob(New<TXStreamObject>());
//     if (!Blob->LoadFromFile(u"Picture.PNG", false))  // DataClass ".png"
//         ...
//     Blob->SetCompressed(true);                        // stored as "CData"
//
// A blob whose compressed value cannot be made or read back is never
// stored or loaded cut short: writing records 45 and raises, reading
// leaves the blob empty, records 44 and raises, so the surrounding save
// or load fails.
#pragma once
#include "rtl/DateTime.h"
#include "rtl/Streams.h"
#include "core/XCore.Locale.h"
#include "core/XCore.Streams.Containers.Split.h"

class TXStreamObject : public TXLocalizedPersistent, public IXDataStorable {
    X_CLASS(TXStreamObject, TXLocalizedPersistent)
    X_INTERFACES(TXStreamObject, IXDataStorable)
    X_FORWARD_IINTERFACE(TXLocalizedPersistent)

    void Init() override;
    // Compressed and StoreData stay as they are.
    void Clear() override;
    bool IsEmpty() override;
    // From another blob: everything but the language id, Size = the bytes copied.
    bool AssignFrom(TPersistent* Source) override;
    void DefineProperties(TFiler* Filer) override;

    virtual void SetStoreData(bool Value) override { FStoreData = Value; }
    virtual bool LoadFromObject(TObject* Source);
    // The whole Source from its beginning.
    virtual bool LoadFromStream(const String& ADataClass, TStream* Source);
    // DataClass becomes the file's extension in lower case; Flag changes nothing.
    virtual bool LoadFromFile(const String& AFileName, bool Flag);

    bool StoreData() const { return FStoreData; }
    bool Compressed() const { return FCompressed; }
    void SetCompressed(bool Value) { FCompressed = Value; }
    const String& DataClass() const { return FDataClass; }
    void SetDataClass(const String& Value) { FDataClass = Value; }
    TMemoryStream* DataStream() const { return FDataStream.get(); }
    const String& FileName() const { return FFileName; }
    void SetFileName(const String& Value) { FFileName = Value; }
    const String& Version() const { return FVersion; }
    void SetVersion(const String& Value) { FVersion = Value; }
    Int64 Size() const { return FSize; }
    void SetSize(Int64 Value) { FSize = Value; }
    TDateTime TimeStamp() const { return FTimeStamp; }
    void SetTimeStamp(TDateTime Value) { FTimeStamp = Value; }
    // The stored value of "Data" and of "CData".
    bool HasPlainData();
    bool HasCompressedData();

protected:
    void ReadPlainData(TStream* Stream);
    void WritePlainData(TStream* Stream);
    void ReadCompressedData(TStream* Stream);
    void WriteCompressedData(TStream* Stream);

private:
    bool FCompressed = false;
    String FDataClass;
    TOwnedPtr<TMemoryStream> FDataStream;
    String FFileName;
    String FVersion;
    Int64 FSize = 0;
    TDateTime FTimeStamp = 0;
    bool FStoreData = true;
};

// A blob with the pixel size of the picture it holds.
class TXCustomSizeStreamObject : public TXStreamObject {
    X_CLASS(TXCustomSizeStreamObject, TXStreamObject)
public:
    void Clear() override;
    bool AssignFrom(TPersistent* Source) override;

    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }

private:
    Integer FWidth = 0;
    Integer FHeight = 0;
};

// A collection item carrying one blob, which it owns.
class TXCustomStreamItem : public TXLocalizedCollectionItem, public IXDataStorable {
    X_CLASS(TXCustomStreamItem, TXLocalizedCollectionItem)
    X_INTERFACES(TXCustomStreamItem, IXDataStorable)
    X_FORWARD_IINTERFACE(TXLocalizedCollectionItem)

    bool AssignFrom(TPersistent* Source) override;
    void SetStoreData(bool Value) override;
    void Clear() override;
    bool IsEmpty() override;

    String GetName() override { return TXLocalizedCollectionItem::GetName(); }
    void SetName(const String& Value) override { TXLocalizedCollectionItem::SetName(Value); }
    TXStreamObject* Data() const { return FData.get(); }

protected:
    TOwnedPtr<TXStreamObject> FData;
};

class TXStreamItem : public TXCustomStreamItem {
    X_CLASS(TXStreamItem, TXCustomStreamItem)
public:
    void Init() override;
};

// A component holding one blob. Boxes for other blob classes override NewData.
class TXStreamBox : public TXComponent {
    X_CLASS(TXStreamBox, TXComponent)
public:
    void Create(TComponent* AOwner) override;
    bool AssignFrom(TPersistent* Source) override;

    TXStreamObject* Data() const { return FData.get(); }

protected:
    virtual TXStreamObject* NewData() { return New<TXStreamObject>(); }

private:
    TOwnedPtr<TXStreamObject> FData;
};

template<class T = TXStreamItem>
class TXStreamCollection : public TXLocalizedCollection<T> {
    X_CLASS_TEMPLATE(TXStreamCollection, TXLocalizedCollection<T>, u"TXStreamCollection<T>")
public:
    using inherited::Create;
};
