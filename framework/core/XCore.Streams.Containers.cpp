#include "core/XCore.Streams.Containers.h"
#include "rtl/ComponentText.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Errors.h"
#include "core/XCore.ZLib.h"

X_REGISTER_CLASS(TXStreamObject)
X_REGISTER_CLASS(TXCustomSizeStreamObject)
X_REGISTER_CLASS(TXCustomStreamItem)
X_REGISTER_CLASS(TXStreamItem)
X_REGISTER_CLASS(TXStreamBox)

X_PUBLISHED(TXStreamObject)
{
    X_PROP(Name, GetName, SetName);
    X_PROP(Compressed, Compressed, SetCompressed);
    X_PROP(DataClass, DataClass, SetDataClass);
    X_PROP_READONLY(DataStream, DataStream).Stored(&TXStreamObject::StoreData);
    X_PROP(FileName, FileName, SetFileName);
    X_PROP(Version, Version, SetVersion);
    X_PROP(Size, Size, SetSize);
    X_PROP_DATETIME(TimeStamp, TimeStamp, SetTimeStamp);
}

X_PUBLISHED(TXCustomSizeStreamObject)
{
    X_PROP(Width, Width, SetWidth);
    X_PROP(Height, Height, SetHeight);
}

X_PUBLISHED(TXCustomStreamItem)
{
    X_PROP(Name, GetName, SetName);
}

X_PUBLISHED(TXStreamItem)
{
    X_PROP_READONLY(Data, Data);
}

X_PUBLISHED(TXStreamBox)
{
    X_PROP_READONLY(Data, Data);
}

namespace {

// Inflating reads the value in blocks of this size.
constexpr Int64 InflateBlock = 65536;

void CopyWhole(TStream* Source, TMemoryStream* Dest)
{
    Dest->Clear();
    if (Source->Size() > 0)
        Dest->CopyFrom(Source, 0);
}

}

// ---- TXStreamObject ----

void TXStreamObject::Init()
{
    inherited::Init();
    if (!FDataStream)
        FDataStream = MakeOwned<TMemoryStream>();
    FStoreData = true;
    FCompressed = false;
}

void TXStreamObject::Clear()
{
    inherited::Clear();
    FDataClass.clear();
    FFileName.clear();
    FVersion.clear();
    if (FDataStream)
        FDataStream->Clear();
    FSize = 0;
    FTimeStamp = 0;
}

bool TXStreamObject::IsEmpty()
{
    return !FDataStream || FDataStream->Size() == 0;
}

bool TXStreamObject::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXStreamObject>(Source)) {
        if (Other != this) {
            FDataClass = Other->FDataClass;
            FDataStream->Clear();
            Other->FDataStream->SetPosition(0);
            FSize = Other->FDataStream->Size() > 0 ? FDataStream->CopyFrom(Other->FDataStream.get(), 0) : 0;
            FDataStream->SetPosition(0);
            FFileName = Other->FFileName;
            FVersion = Other->FVersion;
            FTimeStamp = Other->FTimeStamp;
            FCompressed = Other->FCompressed;
        }
    }
    // The name, not the language id.
    return TXNamedPersistent::AssignFrom(Source);
}

bool TXStreamObject::LoadFromObject(TObject* Source)
{
    Clear();
    auto* Other = DynamicCast<TXStreamObject>(Source);
    if (!Other)
        return false;
    Assign(Other);
    return true;
}

bool TXStreamObject::LoadFromStream(const String& ADataClass, TStream* Source)
{
    Clear();
    const bool Loaded = Source && XGuarded(xecNone, false, [&] {
        FDataClass = ADataClass;
        CopyWhole(Source, FDataStream.get());
        FSize = FDataStream->Size();
        FDataStream->SetPosition(0);
    });
    if (!Loaded)
        Clear();
    return Loaded;
}

bool TXStreamObject::LoadFromFile(const String& AFileName, bool Flag)
{
    Clear();
    const bool Loaded = XGuarded(xecNone, false, [&] {
        FDataStream->LoadFromFile(AFileName);
        FDataClass = AnsiLowerCase(ExtractFileExt(AFileName));
        FSize = FDataStream->Size();
        FDataStream->SetPosition(0);
    });
    if (!Loaded)
        Clear();
    return Loaded;
}

bool TXStreamObject::HasPlainData()
{
    return FStoreData && !IsEmpty() && !FCompressed;
}

bool TXStreamObject::HasCompressedData()
{
    return FStoreData && !IsEmpty() && FCompressed;
}

void TXStreamObject::DefineProperties(TFiler* Filer)
{
    inherited::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        u"Data", [this](TStream* S) { ReadPlainData(S); }, [this](TStream* S) { WritePlainData(S); }, HasPlainData());
    Filer->DefineBinaryProperty(
        u"CData", [this](TStream* S) { ReadCompressedData(S); }, [this](TStream* S) { WriteCompressedData(S); },
        HasCompressedData());
}

void TXStreamObject::ReadPlainData(TStream* Stream)
{
    FDataStream->Clear();
    Stream->SetPosition(0);
    CopyWhole(Stream, FDataStream.get());
    FDataStream->SetPosition(0);
}

void TXStreamObject::WritePlainData(TStream* Stream)
{
    FDataStream->SaveToStream(Stream);
}

void TXStreamObject::ReadCompressedData(TStream* Stream)
{
    FDataStream->Clear();
    // Inside a load, every blob draws on the load's one budget.
    TXLoadBudget Budget;
    try {
        Stream->SetPosition(0);
        TOwnedPtr<TXZDecompressionStream> Inflater(New<TXZDecompressionStream>(Stream));
        std::vector<Byte> Block(static_cast<size_t>(InflateBlock));
        for (;;) {
            Int64 N = Inflater->DecompressBuffer(Block.data(), InflateBlock, nullptr);
            if (N > 0)
                FDataStream->WriteBuffer(Block.data(), N);
            if (FDataStream->Size() > xzMaxInflatedSize)
                throw EZDecompressionError(u"Stored data too large");
            if (N < InflateBlock)
                break;
        }
        if (!Inflater->Finished())
            throw EZDecompressionError(u"Stored data cut short");
        FDataStream->SetPosition(0);
    } catch (const ELoadBudgetError& E) {
        // Not damage: the load holds more than it may. The whole load is
        // refused, not this blob alone.
        FDataStream->Clear();
        SetXErrorOnce(xecReadFailed, 0, E.Message(), false);
        throw EOutOfMemory(E.Message());
    } catch (const std::exception& E) {
        // Part of the data is no data: the blob stays empty and the load fails.
        FDataStream->Clear();
        SetXErrorOnce(xecReadFailed, 0, UTF8ToString(E.what()), false);
        throw EReadError(u"Stored data \"" + Name() + u"\" cannot be decompressed");
    }
}

void TXStreamObject::WriteCompressedData(TStream* Stream)
{
    try {
        TOwnedPtr<TMemoryStream> Packed(New<TMemoryStream>());
        {
            TOwnedPtr<TXZCompressionStream> Deflater(New<TXZCompressionStream>(Packed.get(), xzlDefault));
            Deflater->CompressStream(FDataStream.get(), 0, nullptr);
            Deflater->Finish();
        }
        // Only a complete value reaches the writer.
        Packed->SaveToStream(Stream);
    } catch (const std::exception& E) {
        SetXErrorOnce(xecWriteFailed, 0, UTF8ToString(E.what()), false);
        throw EWriteError(u"Stored data \"" + Name() + u"\" cannot be compressed");
    }
}

// ---- TXCustomSizeStreamObject ----

void TXCustomSizeStreamObject::Clear()
{
    inherited::Clear();
    FWidth = 0;
    FHeight = 0;
}

bool TXCustomSizeStreamObject::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXCustomSizeStreamObject>(Source)) {
        FWidth = Other->FWidth;
        FHeight = Other->FHeight;
    }
    return inherited::AssignFrom(Source);
}

// ---- stream items ----

bool TXCustomStreamItem::AssignFrom(TPersistent* Source)
{
    if (FData) {
        if (auto* Item = DynamicCast<TXCustomStreamItem>(Source)) {
            if (Item->FData)
                FData->Assign(Item->FData.get());
        } else if (auto* Blob = DynamicCast<TXStreamObject>(Source)) {
            FData->Assign(Blob);
        }
    }
    return inherited::AssignFrom(Source);
}

void TXCustomStreamItem::SetStoreData(bool Value)
{
    inherited::SetStoreData(Value);
    if (FData)
        FData->SetStoreData(Value);
}

void TXCustomStreamItem::Clear()
{
    inherited::Clear();
    if (FData)
        FData->Clear();
}

bool TXCustomStreamItem::IsEmpty()
{
    return !FData || FData->IsEmpty();
}

void TXStreamItem::Init()
{
    inherited::Init();
    if (!FData)
        FData = MakeOwned<TXStreamObject>();
}

// ---- TXStreamBox ----

void TXStreamBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FData.reset(NewData());
}

bool TXStreamBox::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXStreamBox>(Source)) {
        if (FData && Other->FData)
            FData->Assign(Other->FData.get());
    }
    return inherited::AssignFrom(Source);
}
