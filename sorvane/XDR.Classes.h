// The recovery program's shared data: found files with their ranges,
// status and thumbnail, the found-file collection, the file-type choice,
// and the payloads of the notifications between workers, engine and pages.
#pragma once
#include "rtl/DateTime.h"
#include "core/XCore.Collections.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Streams.Containers.h"
#include "graphics/XMedia.Images.h"
#include <initializer_list>

class TStringList;

enum TXDRFileStatusValue : Byte {
    drValidated,
    drThnValidated,
    drThnError,
    drEntry,
    drDeletedEntry,
    drScanValid,
    drScanError
};
using TXDRFileStatusSet = Byte;

constexpr TXDRFileStatusSet DRStatusBit(TXDRFileStatusValue V)
{
    return TXDRFileStatusSet(1u << V);
}
inline bool HasStatus(TXDRFileStatusSet S, TXDRFileStatusValue V)
{
    return (S & DRStatusBit(V)) != 0;
}
// Each setter removes the value's partner.
void SetThumbnailResult(TXDRFileStatusSet& S, bool Success);
void SetEntryStatus(TXDRFileStatusSet& S);
void SetDeletedEntryStatus(TXDRFileStatusSet& S);
void SetScanValidStatus(TXDRFileStatusSet& S);
inline bool IsDeletedEntry(TXDRFileStatusSet S)
{
    return HasStatus(S, drDeletedEntry);
}
// "[drThnValidated, drScanValid]"
String StatusText(TXDRFileStatusSet S);

class TXDRFileItem : public TXSplitItem {
    X_CLASS(TXDRFileItem, TXSplitItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    bool HasExtension(const String& Text) const;
    bool HasAnyExtension(std::initializer_list<String> Texts) const;
    bool HasAnyExtension(const std::vector<String>& Texts) const;

    TXDRFileStatusSet Status = 0;
    bool Selected = true;
    String Name;
    String Extension;
    TDateTime Created = 0;
    TDateTime Modified = 0;
    TDateTime Accessed = 0;
    TXSize ImageSize;
    TXImageObject* Thumbnail() const { return FThumbnail.get(); }

private:
    TOwnedPtr<TXImageObject> FThumbnail;
};

class TXDRFileCollection : public TXCollection<TXDRFileItem> {
    X_CLASS(TXDRFileCollection, TXCollection<TXDRFileItem>)
};

bool TXDRFileItemsAnySelected(TXDRFileCollection* Items);
bool TXDRFileItemsAnySelectedOf(TXDRFileCollection* Items, const std::vector<String>& Extensions);
void TXDRFileItemsSetSelected(TXDRFileCollection* Items, const std::vector<String>& Extensions, bool Value);
Int64 TXDRFileItemsSelectedSize(TXDRFileCollection* Items);
Integer TXDRFileItemsIndexOfBlocks(TXDRFileCollection* Items, TXBlocks* Blocks);

constexpr Integer DRFileTypeFlagCount = 76;

class TXDRFileTypes : public TXPersistent {
    X_CLASS(TXDRFileTypes, TXPersistent)
public:
    void Clear() override;
    void Assign(TPersistent* Source) override;
    void SelectAll();
    void SelectDefaults();
    // Sorted, without duplicates: the extensions chosen (each category only
    // when its own flag is set).
    void GetExtensions(TStringList* List);
    void AllExtensions(TStringList* List);

    template<Integer I>
    bool GetFlag() const
    {
        return FFlags[I];
    }
    template<Integer I>
    void SetFlag(bool Value)
    {
        FFlags[I] = Value;
    }
    // The published name of flag I: "Images", "Video", "Audio", "_jpg" ...
    static String FlagName(Integer I);

private:
    bool FFlags[DRFileTypeFlagCount] = {};
};

class TXDRFoundFileAspect : public TXCustomAspect {
    X_CLASS(TXDRFoundFileAspect, TXCustomAspect)
public:
    void Create() override;
    TXDRFileItem* Item() const { return FItem.get(); }

private:
    TOwnedPtr<TXDRFileItem> FItem;
};

class TXDRAddFileAspect : public TXCustomAspect {
    X_CLASS(TXDRAddFileAspect, TXCustomAspect)
public:
    using inherited::Create;
    void Create(TXDRFileItem* AItem)
    {
        inherited::Create();
        Item = AItem;
    }
    TXDRFileItem* Item = nullptr; // not owned
};

class TXDRRefreshSelectedFilesAspect : public TXCustomAspect {
    X_CLASS(TXDRRefreshSelectedFilesAspect, TXCustomAspect)
};

class TXDRSelectedActionAspect : public TXCustomAspect {
    X_CLASS(TXDRSelectedActionAspect, TXCustomAspect)
public:
    using inherited::Create;
    void Create(Byte AAction)
    {
        inherited::Create();
        Action = AAction;
    }
    bool AssignFrom(TXObject* Source) override;
    Byte Action = 0;
};

class TXDRDialogInitPageDataPreviewAspect : public TXCustomAspect {
    X_CLASS(TXDRDialogInitPageDataPreviewAspect, TXCustomAspect)
public:
    Byte Value = 0;
};

class TXDRDialogInitPageDataSaveAspect : public TXCustomAspect {
    X_CLASS(TXDRDialogInitPageDataSaveAspect, TXCustomAspect)
public:
    Byte Value = 0;
};

class TXDRAction : public TXCustomAspect {
    X_CLASS(TXDRAction, TXCustomAspect)
};
class TXDRActionImageFile : public TXDRAction {
    X_CLASS(TXDRActionImageFile, TXDRAction)
};
class TXDRActionDeepScan : public TXDRAction {
    X_CLASS(TXDRActionDeepScan, TXDRAction)
};
class TXDRActionRestoreFiles : public TXDRAction {
    X_CLASS(TXDRActionRestoreFiles, TXDRAction)
};
