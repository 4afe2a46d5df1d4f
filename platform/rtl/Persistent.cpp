#include "rtl/Persistent.h"

X_REGISTER_CLASS(TPersistent)
X_REGISTER_CLASS(TInterfacedPersistent)

void TPersistent::Assign(TPersistent* Source)
{
    if (Source)
        Source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest)
{
    Dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* Source)
{
    String SourceName = Source ? Source->ClassName() : String(u"nil");
    throw EConvertError(u"Cannot assign a " + SourceName + u" to a " + ClassName());
}

void TPersistent::DefineProperties(TFiler*)
{ }

TPersistent* TPersistent::GetOwner()
{
    return nullptr;
}

String TPersistent::GetNamePath()
{
    String Result = ClassName();
    if (TPersistent* Owner = GetOwner()) {
        String OwnerPath = Owner->GetNamePath();
        if (!OwnerPath.empty())
            Result = OwnerPath + u"." + Result;
    }
    return Result;
}

HRESULT TInterfacedPersistent::QueryInterface(const TGUID& IID, void** Obj)
{
    return GetInterface(IID, Obj) ? S_OK : E_NOINTERFACE;
}

Integer TInterfacedPersistent::_AddRef()
{
    return FOwnerInterface ? FOwnerInterface->_AddRef() : -1;
}

Integer TInterfacedPersistent::_Release()
{
    return FOwnerInterface ? FOwnerInterface->_Release() : -1;
}

void TInterfacedPersistent::AfterConstruction()
{
    inherited::AfterConstruction();
    if (TPersistent* Owner = GetOwner()) {
        void* Out = nullptr;
        if (Owner->GetInterface(IInterface::IID, &Out))
            FOwnerInterface = IPtr<IInterface>::Adopt(static_cast<IInterface*>(Out));
    }
}
