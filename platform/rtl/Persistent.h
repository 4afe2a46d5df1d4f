// TPersistent, the base of everything that can be assigned and stored, and
// TInterfacedPersistent, which lends its reference counting to its owner.
//
// Assign(Source) lets the source copy itself into the target (AssignTo);
// a class that knows how to copy from a source overrides Assign and calls
// inherited::Assign for the sources it does not know. When neither side
// knows the other, EConvertError "Cannot assign a X to a Y" is raised.
#pragma once
#include "rtl/Interfaces.h"

class TFiler;

class TPersistent : public TObject {
    X_CLASS(TPersistent, TObject)
public:
    virtual void Assign(TPersistent* Source);
    // Public so that a target can hand an assignment back to its source.
    virtual void AssignTo(TPersistent* Dest);
    // Hook for storing data that is not a published property.
    virtual void DefineProperties(TFiler* Filer);
    virtual TPersistent* GetOwner();
    // "Owner path.ClassName" for diagnostics and the designer.
    virtual String GetNamePath();

protected:
    // Raises the "Cannot assign" error for Source (null gives "nil").
    [[noreturn]] void AssignError(TPersistent* Source);
};

// Counts no references of its own: _AddRef/_Release go to the owner's
// IInterface when GetOwner answers one (found at AfterConstruction), else
// they answer -1 and the object lives until it is freed.
class TInterfacedPersistent : public TPersistent, public IInterface {
    X_CLASS(TInterfacedPersistent, TPersistent)
    X_INTERFACES(TInterfacedPersistent, IInterface)
public:
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override;
    Integer _AddRef() override;
    Integer _Release() override;
    void AfterConstruction() override;

private:
    IPtr<IInterface> FOwnerInterface;
};
