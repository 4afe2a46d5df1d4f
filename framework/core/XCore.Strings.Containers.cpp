#include "core/XCore.Strings.Containers.h"

X_REGISTER_CLASS(TXStringItem)
X_REGISTER_CLASS(TXColorStringItem)
X_REGISTER_CLASS(TXStorableColorStringItem)

X_PUBLISHED(TXStringItem)
{
    X_PROP(Name, GetName, SetName);
    X_PROP(s, s, SetS).Stored(&TXStringItem::StoreData);
}

X_PUBLISHED(TXColorStringItem)
{
    X_PROP(Color, Color, SetColor);
}

bool TXStringItem::AssignFrom(TPersistent* Source)
{
    if (auto* Item = DynamicCast<TXStringItem>(Source))
        Fs = Item->Fs;
    return inherited::AssignFrom(Source);
}

void TXStringItem::Clear()
{
    inherited::Clear();
    Fs.clear();
}

void TXColorStringItem::SetDefaults()
{
    inherited::SetDefaults();
    FColor = clNone;
}
