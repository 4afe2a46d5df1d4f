#include "sorvane/XDR.Classes.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Interfaces.h"
#include "sorvane/XDR.Work.P.h"

X_REGISTER_CLASS(TXDRFileItem)
X_REGISTER_CLASS(TXDRFileCollection)
X_REGISTER_CLASS(TXDRFileTypes)
X_REGISTER_CLASS(TXDRFoundFileAspect)
X_REGISTER_CLASS(TXDRAddFileAspect)
X_REGISTER_CLASS(TXDRRefreshSelectedFilesAspect)
X_REGISTER_CLASS(TXDRSelectedActionAspect)
X_REGISTER_CLASS(TXDRDialogInitPageDataPreviewAspect)
X_REGISTER_CLASS(TXDRDialogInitPageDataSaveAspect)
X_REGISTER_CLASS(TXDRAction)
X_REGISTER_CLASS(TXDRActionImageFile)
X_REGISTER_CLASS(TXDRActionDeepScan)
X_REGISTER_CLASS(TXDRActionRestoreFiles)

// ---- status ----

namespace {

void SetPaired(TXDRFileStatusSet& S, TXDRFileStatusValue On, TXDRFileStatusValue Off)
{
    S = TXDRFileStatusSet((S & ~DRStatusBit(Off)) | DRStatusBit(On));
}

} // namespace

void SetThumbnailResult(TXDRFileStatusSet& S, bool Success)
{
    if (Success)
        SetPaired(S, drThnValidated, drThnError);
    else
        SetPaired(S, drThnError, drThnValidated);
}

void SetEntryStatus(TXDRFileStatusSet& S)
{
    SetPaired(S, drEntry, drDeletedEntry);
}
void SetDeletedEntryStatus(TXDRFileStatusSet& S)
{
    SetPaired(S, drDeletedEntry, drEntry);
}
void SetScanValidStatus(TXDRFileStatusSet& S)
{
    SetPaired(S, drScanValid, drScanError);
}

String StatusText(TXDRFileStatusSet S)
{
    static const char16_t* const Names[] = { u"drValidated", u"drThnValidated", u"drThnError", u"drEntry",
        u"drDeletedEntry", u"drScanValid", u"drScanError" };
    String Text = u"[";
    for (Integer V = 0; V <= drScanError; ++V)
        if (S & (1u << V)) {
            if (Text.size() > 1)
                Text += u", ";
            Text += Names[V];
        }
    return Text + u"]";
}

// ---- found files ----

void TXDRFileItem::Init()
{
    inherited::Init();
    FThumbnail.reset(New<TXImageObject>());
    Selected = true;
}

bool TXDRFileItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDRFileItem>(Source)) {
        Selected = Other->Selected;
        Name = Other->Name;
        Extension = Other->Extension;
        Created = Other->Created;
        Modified = Other->Modified;
        Accessed = Other->Accessed;
        Status = Other->Status;
        ImageSize = Other->ImageSize;
        FThumbnail->Assign(Other->FThumbnail.get());
    }
    return inherited::AssignFrom(Source);
}

bool TXDRFileItem::HasExtension(const String& Text) const
{
    return Text == Extension || SameText(Text, Extension);
}

bool TXDRFileItem::HasAnyExtension(std::initializer_list<String> Texts) const
{
    for (const String& T : Texts)
        if (HasExtension(T))
            return true;
    return false;
}

bool TXDRFileItem::HasAnyExtension(const std::vector<String>& Texts) const
{
    for (const String& T : Texts)
        if (HasExtension(T))
            return true;
    return false;
}

bool TXDRFileItemsAnySelected(TXDRFileCollection* Items)
{
    for (Integer I = 0; I < Items->Count(); ++I)
        if (Items->Items(I)->Selected)
            return true;
    return false;
}

bool TXDRFileItemsAnySelectedOf(TXDRFileCollection* Items, const std::vector<String>& Extensions)
{
    for (Integer I = 0; I < Items->Count(); ++I)
        if (Items->Items(I)->Selected && Items->Items(I)->HasAnyExtension(Extensions))
            return true;
    return false;
}

void TXDRFileItemsSetSelected(TXDRFileCollection* Items, const std::vector<String>& Extensions, bool Value)
{
    for (Integer I = 0; I < Items->Count(); ++I)
        if (Items->Items(I)->HasAnyExtension(Extensions))
            Items->Items(I)->Selected = Value;
}

Int64 TXDRFileItemsSelectedSize(TXDRFileCollection* Items)
{
    Int64 Total = 0;
    for (Integer I = 0; I < Items->Count(); ++I)
        if (Items->Items(I)->Selected)
            Total += Items->Items(I)->Size();
    return Total;
}

Integer TXDRFileItemsIndexOfBlocks(TXDRFileCollection* Items, TXBlocks* Blocks)
{
    TOwnedPtr<TXBlocksComparer> Comparer(New<TXBlocksComparer>());
    for (Integer I = 0; I < Items->Count(); ++I) {
        TXBlocks* Own = Items->Items(I)->Blocks();
        if (Comparer->Compare(Own, Blocks) == 0)
            return I;
    }
    return -1;
}

// ---- file types ----

String TXDRFileTypes::FlagName(Integer I)
{
    if (I == 0)
        return u"Images";
    if (I == 1)
        return u"Video";
    if (I == 2)
        return u"Audio";
    I -= 3;
    const char16_t* Ext = I < 46 ? ImageExtensions[I] : I < 63 ? VideoExtensions[I - 46] : AudioExtensions[I - 63];
    String Name = Ext;
    Name[0] = u'_';
    return Name;
}

void TXDRFileTypes::Clear()
{
    inherited::Clear();
    SelectAll();
}

void TXDRFileTypes::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDRFileTypes>(Source))
        std::copy(std::begin(Other->FFlags), std::end(Other->FFlags), std::begin(FFlags));
    else
        inherited::Assign(Source);
}

void TXDRFileTypes::SelectAll()
{
    std::fill(std::begin(FFlags), std::end(FFlags), true);
}

void TXDRFileTypes::SelectDefaults()
{
    std::fill(std::begin(FFlags), std::end(FFlags), false);
    for (const char16_t* Name : { u"Images", u"Video", u"Audio", u"_jpg", u"_arw", u"_cr2", u"_dng", u"_nef", u"_orf",
             u"_pef", u"_raf", u"_raw", u"_tif", u"_avi", u"_mov", u"_mp4", u"_mpg", u"_mp3", u"_wma" })
        for (Integer I = 0; I < DRFileTypeFlagCount; ++I)
            if (FlagName(I) == Name)
                FFlags[I] = true;
}

namespace {

void PrepareList(TStringList* List)
{
    List->Clear();
    List->SetSorted(true);
    List->SetDuplicates(dupIgnore);
}

} // namespace

void TXDRFileTypes::GetExtensions(TStringList* List)
{
    PrepareList(List);
    struct {
        const char16_t* Category;
        const char16_t* const* Table;
        Integer Count;
    } Groups[] = {
        { u"Images", ImageExtensions, 46 },
        { u"Video", VideoExtensions, 17 },
        { u"Audio", AudioExtensions, 10 },
    };
    for (const auto& G : Groups) {
        bool On = false;
        if (!GetPropBool(this, G.Category, On) || !On)
            continue;
        for (Integer I = 0; I < G.Count; ++I) {
            String Name = G.Table[I];
            Name[0] = u'_';
            bool Flag = false;
            if (GetPropBool(this, Name, Flag) && Flag)
                List->Add(G.Table[I]);
        }
    }
}

void TXDRFileTypes::AllExtensions(TStringList* List)
{
    PrepareList(List);
    for (const char16_t* E : ImageExtensions)
        List->Add(E);
    for (const char16_t* E : VideoExtensions)
        List->Add(E);
    for (const char16_t* E : AudioExtensions)
        List->Add(E);
}

#define X_FLAG(Name, I) X_PROP(Name, GetFlag<I>, SetFlag<I>)
X_PUBLISHED(TXDRFileTypes)
{
    X_FLAG(Images, 0);
    X_FLAG(Video, 1);
    X_FLAG(Audio, 2);
    X_FLAG(_jpg, 3);
    X_FLAG(_arw, 4);
    X_FLAG(_cr2, 5);
    X_FLAG(_dng, 6);
    X_FLAG(_nef, 7);
    X_FLAG(_orf, 8);
    X_FLAG(_pef, 9);
    X_FLAG(_raf, 10);
    X_FLAG(_raw, 11);
    X_FLAG(_tif, 12);
    X_FLAG(_3fr, 13);
    X_FLAG(_ari, 14);
    X_FLAG(_bay, 15);
    X_FLAG(_bmp, 16);
    X_FLAG(_cap, 17);
    X_FLAG(_crw, 18);
    X_FLAG(_dcr, 19);
    X_FLAG(_dcs, 20);
    X_FLAG(_drf, 21);
    X_FLAG(_eip, 22);
    X_FLAG(_erf, 23);
    X_FLAG(_fff, 24);
    X_FLAG(_gif, 25);
    X_FLAG(_iiq, 26);
    X_FLAG(_jp2, 27);
    X_FLAG(_jps, 28);
    X_FLAG(_k25, 29);
    X_FLAG(_kdc, 30);
    X_FLAG(_mef, 31);
    X_FLAG(_mos, 32);
    X_FLAG(_mpo, 33);
    X_FLAG(_mrw, 34);
    X_FLAG(_nrw, 35);
    X_FLAG(_pcd, 36);
    X_FLAG(_png, 37);
    X_FLAG(_pns, 38);
    X_FLAG(_psd, 39);
    X_FLAG(_ptx, 40);
    X_FLAG(_pxn, 41);
    X_FLAG(_r3d, 42);
    X_FLAG(_rw1, 43);
    X_FLAG(_rw2, 44);
    X_FLAG(_rwz, 45);
    X_FLAG(_srf, 46);
    X_FLAG(_sr2, 47);
    X_FLAG(_x3f, 48);
    X_FLAG(_avi, 49);
    X_FLAG(_mov, 50);
    X_FLAG(_mp4, 51);
    X_FLAG(_mpg, 52);
    X_FLAG(_3g2, 53);
    X_FLAG(_3gp, 54);
    X_FLAG(_cam, 55);
    X_FLAG(_flv, 56);
    X_FLAG(_m1v, 57);
    X_FLAG(_m2t, 58);
    X_FLAG(_m2v, 59);
    X_FLAG(_m4v, 60);
    X_FLAG(_mpe, 61);
    X_FLAG(_mts, 62);
    X_FLAG(_rm, 63);
    X_FLAG(_qt, 64);
    X_FLAG(_wmv, 65);
    X_FLAG(_mp3, 66);
    X_FLAG(_wma, 67);
    X_FLAG(_aif, 68);
    X_FLAG(_amr, 69);
    X_FLAG(_m4a, 70);
    X_FLAG(_m4b, 71);
    X_FLAG(_mid, 72);
    X_FLAG(_mp2, 73);
    X_FLAG(_ra, 74);
    X_FLAG(_wav, 75);
}
#undef X_FLAG

// ---- aspects ----

void TXDRFoundFileAspect::Create()
{
    inherited::Create();
    FItem.reset(New<TXDRFileItem>(nullptr));
}

bool TXDRSelectedActionAspect::AssignFrom(TXObject* Source)
{
    if (auto* Other = DynamicCast<TXDRSelectedActionAspect>(Source)) {
        Action = Other->Action;
        return true;
    }
    return inherited::AssignFrom(Source);
}
