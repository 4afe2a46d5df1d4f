// Language files: container files of one group "Language" whose identity
// is 100, the program's id and version, 0, 0 and "Language". Read into a
// TXLgProject, the group carries the header's properties, the named
// streams as items and the word-table text as the data entry "Words"; read
// into a bare TXLgHeader, only the header's own properties are read:
//
//     TOwnedPtr<TXLgProject> Language(New<TXLgProject>());
//     Language->SetAppID(6001);                // the identity a file must carry
//     Language->SetAppVer(600);
//     FilerLoadFromStream(Stream, TXLgFiler::StaticClass(), Language.get(), false, nullptr);
#pragma once
#include "core/XCore.RStream.Filers.h"

class TXLgFiler : public TXRStreamFiler {
    X_CLASS(TXLgFiler, TXRStreamFiler)
public:
    // The identity from the header or project (its AppID and AppVer), and
    // the one group.
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override;
    // Language files are small: what they inflate to is held to the
    // language allowance of the load rule.
    Int64 LoadAllowance() const override;
};

class TXLgFilerGroup : public TXRStreamItemsFilerGroup {
    X_CLASS(TXLgFilerGroup, TXRStreamItemsFilerGroup)
public:
    // Item headers of kind 4; "Header" until the filer names it.
    void Create() override;
    // A project's word-table stream is emptied and bound to the entry
    // "Words" (any case) when there is one.
    void ObjectDataLoaded() override;
    void RegisterObjectData() override;
};
