#include "calendar_designs/XL.Filers.h"

X_REGISTER_CLASS(TXL)
X_REGISTER_CLASS(TXLC)
X_REGISTER_CLASS(TXRLStreamFilerGroup)
X_REGISTER_CLASS(TXRLStreamFiler)

X_PUBLISHED(TXL)
{
    X_PROP(LType, LType, SetLType);
    X_PROP(ARType, ARType, SetARType);
    X_PROP(AWType, AWType, SetAWType);
    X_PROP(LC, LC, SetLC);
    X_PROP(LP, LP, SetLP);
    X_PROP_READONLY(Info, Info);
}

void TXL::Init()
{
    inherited::Init();
    FInfo.reset(New<TXNameValueCollection>(static_cast<TPersistent*>(this)));
}

void TXL::Clear()
{
    inherited::Clear();
    FLType = FARType = FAWType = 0;
    FLC = 0;
    FLP.clear();
    FFileName.clear();
    if (FInfo)
        FInfo->Clear();
}

bool TXL::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXL>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    FLType = Other->FLType;
    FARType = Other->FARType;
    FAWType = Other->FAWType;
    FLC = Other->FLC;
    FLP = Other->FLP;
    FInfo->Assign(Other->FInfo.get());
    if (FFileName.empty())
        FFileName = Other->FFileName;
    return true;
}

void TXLC::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FL.reset(New<TXL>());
}

void TXRLStreamFilerGroup::Create()
{
    inherited::Create();
    DefaultName = u"XXL";
    ItemHeaderKind = 200;
}

bool TXRLStreamFilerGroup::Prepare(Integer Flag)
{
    if (!inherited::Prepare(Flag))
        return false;
    auto* L = DynamicCast<TXL>(Data);
    if (!L || L->IsAccepted())
        return true;
    FRefused = true;
    ReportXResultOnce(false, xecObjectHeader, 0, {}, false);
    return false;
}

void TXRLStreamFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    inherited::DefineGroups(AData, AMode, AParts);
    if (auto* C = DynamicCast<TXLC>(AData))
        AData = C->L();
    if (auto* L = DynamicCast<TXL>(AData))
        DefineHeaderGroup(L);
}

void TXRLStreamFiler::DefineHeaderGroup(TXL* L)
{
    Groups()->AddGroup(this, TXRLStreamFilerGroup::StaticClass(), nullptr, L);
}

bool TXRLStreamFiler::ReadGroups(TXRStream* Stream, TXProgress* Progress)
{
    const bool Read = inherited::ReadGroups(Stream, Progress);
    for (TXFilerGroup* G : *Groups())
        if (auto* H = DynamicCast<TXRLStreamFilerGroup>(G); H && H->Refused())
            SetXError(xecObjectHeader, 0, {}, false);
    return Read;
}
