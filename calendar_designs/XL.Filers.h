// The header record of every stored data object (calendar objects and
// picture packs alike), its container group "XXL" and the filer that reads
// and writes it. A header whose type fields are not all zero is refused
// (43):
//
//     TOwnedPtr<TXL> L(New<TXL>());
//     FilerLoadFromFile(Name, TXRLStreamFiler::StaticClass(), L.get(), false, nullptr);
//     L->Info()->GetValue(u"Class");                   // the stored class
#pragma once
#include "core/XCore.Containers.h"
#include "core/XCore.Filers.h"
#include "core/XCore.RStream.Filers.h"

class TXL : public TXFilerablePersistent {
    X_CLASS(TXL, TXFilerablePersistent)
public:
    void Init() override;
    void Clear() override;
    // The five stored fields and Info; the file name only when this one
    // has none.
    bool AssignFrom(TPersistent* Source) override;

    Word LType() const { return FLType; }
    void SetLType(Word Value) { FLType = Value; }
    Word ARType() const { return FARType; }
    void SetARType(Word Value) { FARType = Value; }
    Word AWType() const { return FAWType; }
    void SetAWType(Word Value) { FAWType = Value; }
    Cardinal LC() const { return FLC; }
    void SetLC(Cardinal Value) { FLC = Value; }
    const String& LP() const { return FLP; }
    void SetLP(const String& Value) { FLP = Value; }
    TXNameValueCollection* Info() const { return FInfo.get(); }

    // The full name of the file the record belongs to; not stored.
    const String& FileName() const { return FFileName; }
    void SetFileName(const String& Value) { FFileName = Value; }
    // Whether the type fields allow the record to be used.
    bool IsAccepted() const { return FLType == 0 && FARType == 0 && FAWType == 0; }

private:
    Word FLType = 0;
    Word FARType = 0;
    Word FAWType = 0;
    Cardinal FLC = 0;
    String FLP;
    TOwnedPtr<TXNameValueCollection> FInfo;
    String FFileName;
};

// A component holding one header record.
class TXLC : public TXComponent {
    X_CLASS(TXLC, TXComponent)
public:
    void Create(TComponent* AOwner) override;
    TXL* L() const { return FL.get(); }

private:
    TOwnedPtr<TXL> FL;
};

class TXRLStreamFilerGroup : public TXRStreamFilerGroup {
    X_CLASS(TXRLStreamFilerGroup, TXRStreamFilerGroup)
public:
    void Create() override;
    // False (43) for a record with a type field set.
    bool Prepare(Integer Flag) override;

    bool Refused() const { return FRefused; }

private:
    bool FRefused = false;
};

class TXRLStreamFiler : public TXRStreamFiler {
    X_CLASS(TXRLStreamFiler, TXRStreamFiler)
public:
    // Defines the "XXL" group for a TXL, or a TXLC's record.
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override;
    // A refused header leaves 43, whatever the other groups left.
    bool ReadGroups(TXRStream* Stream, TXProgress* Progress) override;

protected:
    void DefineHeaderGroup(TXL* L);
};
