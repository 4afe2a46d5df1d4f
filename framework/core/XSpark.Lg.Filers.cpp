#include "core/XSpark.Lg.Filers.h"
#include "core/XSpark.Lg.h"
#include "core/XCore.ZLib.h"
#include "rtl/StrUtils.h"

X_REGISTER_CLASS(TXLgFiler)
X_REGISTER_CLASS(TXLgFilerGroup)

namespace {
constexpr Integer LanguageFileVersion = 100;
const char16_t* const LanguageGroupName = u"Language";
const char16_t* const WordsEntry = u"Words";
}

void TXLgFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    inherited::DefineGroups(AData, AMode, AParts);
    auto* Header = DynamicCast<TXLgHeader>(AData);
    SetFilerIdentity(Identity, LanguageFileVersion, Integer(Header ? Header->AppID() : 0),
        Integer(Header ? Header->AppVer() : 0), 0, 0, LanguageGroupName);
    auto* Project = DynamicCast<TXLgProject>(AData);
    TXFilerGroup* Group = Groups()->AddNamedGroup(this, TXLgFilerGroup::StaticClass(),
        Project ? Project->Streams() : nullptr, AData, LanguageGroupName);
    // A bare header reads its own properties only.
    if (!Project)
        Group->ReadOptions.reset(2);
}

Int64 TXLgFiler::LoadAllowance() const
{
    return xzLanguageAllowance;
}

void TXLgFilerGroup::Create()
{
    inherited::Create();
    ItemHeaderKind = 4;
    DefaultName = u"Header";
}

void TXLgFilerGroup::ObjectDataLoaded()
{
    auto* Project = DynamicCast<TXLgProject>(Data);
    if (!Project)
        return;
    Project->Words()->Clear();
    for (Integer I = 0; I < Entries()->Count(); ++I) {
        TXDataIndexItem* Entry = Entries()->Items(I);
        if (SameText(Entry->GetName(), WordsEntry)) {
            Entry->Target = Project->Words();
            Entry->Bound = true;
            return;
        }
    }
}

void TXLgFilerGroup::RegisterObjectData()
{
    if (auto* Project = DynamicCast<TXLgProject>(Data))
        RegisterEntry(WordsEntry, Project->Words());
}
