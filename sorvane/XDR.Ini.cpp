#include "sorvane/XDR.Ini.h"
#include "rtl/TypInfo.h"
#include "sorvane/XDR.Classes.h"

X_REGISTER_CLASS(TXCustomDRIni)
X_REGISTER_CLASS(TXKXRIni)

X_PUBLISHED(TXCustomDRIni)
{
    X_PROP(ShowThumbnails, ShowThumbnails, SetShowThumbnails);
    X_PROP(Sort, Sort, SetSort);
    X_PROP(SortColumn, SortColumn, SetSortColumn);
    X_PROP(FileTypes, FileTypes, SetFileTypes);
}

void TXCustomDRIni::Create(TComponent* AOwner)
{
    FFileTypes.reset(New<TXDRFileTypes>());
    inherited::Create(AOwner);
}

TXCustomDRIni::~TXCustomDRIni() = default;

void TXCustomDRIni::SetFileTypes(TXDRFileTypes* Value)
{
    FFileTypes->Assign(Value);
}

void TXCustomDRIni::SetDefaults()
{
    inherited::SetDefaults();
    FShowThumbnails = true;
    FSort = 0;
    FSortColumn = 0;
    FFileTypes->SelectAll();
}

void TXKXRIni::SetDefaults()
{
    inherited::SetDefaults();
    FileTypes()->SelectDefaults();
}
