#include "rtl/Interfaces.h"
#include <cstdio>

String TGUID::ToString() const
{
    char Buf[40];
    std::snprintf(Buf, sizeof Buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", D1, D2, D3, D4[0], D4[1],
        D4[2], D4[3], D4[4], D4[5], D4[6], D4[7]);
    return UTF8ToString(Buf);
}

bool TryStringToGUID(StringView Text, TGUID& Guid)
{
    static constexpr int Dashes[] = { 9, 14, 19, 24 };
    if (Text.size() != 38 || Text.front() != u'{' || Text.back() != u'}')
        return false;
    char Ascii[39];
    for (size_t I = 0; I < Text.size(); ++I) {
        Char C = Text[I];
        bool IsDash = false;
        for (int D : Dashes)
            IsDash |= int(I) == D;
        bool IsHex = (C >= u'0' && C <= u'9') || (C >= u'a' && C <= u'f') || (C >= u'A' && C <= u'F');
        if (I == 0 || I == 37 ? false : IsDash ? C != u'-' : !IsHex)
            return false;
        Ascii[I] = char(C);
    }
    Ascii[38] = 0;
    Guid = TGUID::Parse(Ascii);
    return true;
}

TObject* InterfaceToObject(IInterface* Intf)
{
    void* Out = nullptr;
    if (Intf && Intf->QueryInterface(IID_TObject, &Out) == S_OK)
        return static_cast<TObject*>(Out);
    return nullptr;
}

X_REGISTER_CLASS(TInterfacedObject)

HRESULT TInterfacedObject::QueryInterface(const TGUID& IID, void** Obj)
{
    return GetInterface(IID, Obj) ? S_OK : E_NOINTERFACE;
}

Integer TInterfacedObject::_AddRef()
{
    return ++FRefCount;
}

Integer TInterfacedObject::_Release()
{
    Integer Count = --FRefCount;
    if (Count == 0)
        Free();
    return Count;
}

void TInterfacedObject::AfterConstruction()
{
    --FRefCount;
}

void TInterfacedObject::BeforeDestruction()
{
    if (FRefCount.load() != 0)
        throw EInvalidPointer(u"Invalid pointer operation");
}
