#include "core/XCore.XMLObjects.Filer.h"

X_REGISTER_CLASS(TXCustomXMLFilerGroup)
X_REGISTER_CLASS(TXCustomXMLFiler)
X_REGISTER_CLASS(TXMLFiler)

namespace {
void Finish(TXProgress* Progress)
{
    if (Progress)
        Progress->Finish();
}
}

void TXMLFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    inherited::DefineGroups(AData, AMode, AParts);
    Groups()->AddGroup(this, TXCustomXMLFilerGroup::StaticClass(), nullptr, AData);
}

TObject* TXMLFiler::GroupObject() const
{
    return Groups()->Count() > 0 ? Groups()->Items(0)->Data : nullptr;
}

bool TXMLFiler::LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = true;
    if (TObject* Object = GroupObject())
        Ok = XGuarded(xecReadFailed, false, [&] {
            Stream->SetPosition(0);
            return LoadObjectFromXMLStream(Object, Stream);
        });
    Finish(Progress);
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXMLFiler::LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    return LoadFromStream(Stream, Progress, RaiseErrors);
}

bool TXMLFiler::SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = true;
    if (TObject* Object = GroupObject())
        Ok = XGuarded(xecWriteFailed, false, [&] { SaveObjectToXMLStream(Object, Stream, false); });
    Finish(Progress);
    return Report(Ok, xecWriteFailed, RaiseErrors);
}
