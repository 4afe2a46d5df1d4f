#include "rtl/Interfaces.h"

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
