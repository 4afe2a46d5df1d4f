// The framework's interfaces and the routines that query them.
#pragma once
#include "rtl/Component.h"
#include "rtl/Interfaces.h"
#include <typeinfo>

class TPersistent;

struct IXThreadable : IInterface {
    X_GUID("{8C5471A3-7CC6-43D4-AC58-9D9EC771167A}")
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

struct IXSerializable : IInterface {
    X_GUID("{FF56EF0E-A1A6-431D-999E-CA23821A899C}")
    virtual void Normalize() = 0;
    // Kept for the interface's layout; empty in every class.
    virtual void Reserved() = 0;
};

struct IXAssignable : IInterface {
    X_GUID("{E5DB37F6-BC83-405A-82CB-7BDEBF953B04}")
    virtual void Assign(TPersistent* Source) = 0;
    virtual void AssignFromInterface(IInterface* Source) = 0;
};

struct IXNameable : IXAssignable {
    X_GUID("{FABE2ECB-D8BC-4916-9928-D89056D831C2}")
    virtual String GetName() = 0;
    virtual void SetName(const String& Value) = 0;
    virtual void AssignExceptName(TPersistent* Source) = 0;
    virtual void AssignIntfExceptName(IInterface* Source) = 0;
};

struct IXDataStorable : IInterface {
    X_GUID("{6E438483-F9A4-4855-9A40-051D5076A48B}")
    virtual void SetStoreData(bool Value) = 0;
};

struct IXLazy : IInterface {
    X_GUID("{9976FB2F-CA3F-44AF-81E7-AFB9022D79F1}")
    virtual bool IsCreated() = 0;
    virtual bool GetAutoFree() = 0;
    virtual void SetAutoFree(bool Value) = 0;
};

namespace XDetail {
// A GUID of its own for each instance of a generic interface: the generic
// interface's GUID with the last eight bytes mixed with the type's name.
TGUID InstanceGuid(const TGUID& Base, const char* TypeName);
}

// Converts the source it holds into Dest.
template<class T>
struct IXObjectConverter : IInterface {
    static inline const TGUID IID =
        XDetail::InstanceGuid(TGUID::Parse("{5B0E2B64-31C8-4C52-A7C4-0E9F6A3D5C10}"), typeid(T).name());
    virtual void Convert(T Dest) = 0;
};

// A dialog's options, its data in and its data out, as the content of the
// dialog's form takes and gives them.
template<class T>
struct IXOptionsReader : IInterface {
    static inline const TGUID IID =
        XDetail::InstanceGuid(TGUID::Parse("{5B0E2B64-31C8-4C52-A7C4-0E9F6A3D5C12}"), typeid(T).name());
    virtual void ReadOptions(T Options) = 0;
};
template<class T>
struct IXDataReader : IInterface {
    static inline const TGUID IID =
        XDetail::InstanceGuid(TGUID::Parse("{5B0E2B64-31C8-4C52-A7C4-0E9F6A3D5C13}"), typeid(T).name());
    virtual void ReadData(T Data) = 0;
};
template<class T>
struct IXDataWriter : IInterface {
    static inline const TGUID IID =
        XDetail::InstanceGuid(TGUID::Parse("{5B0E2B64-31C8-4C52-A7C4-0E9F6A3D5C14}"), typeid(T).name());
    virtual void WriteData(T Data) = 0;
};

// Answers the T it holds, built on demand.
template<class T>
struct IXContentProvider : IInterface {
    static inline const TGUID IID =
        XDetail::InstanceGuid(TGUID::Parse("{5B0E2B64-31C8-4C52-A7C4-0E9F6A3D5C11}"), typeid(T).name());
    virtual T GetContent() = 0;
};

// True when Instance answers IID; *Intf then holds the interface with one
// reference added. The object's own QueryInterface is asked first (so a
// query forwarded to a controller is answered), then its class's table.
bool XSupports(TObject* Instance, const TGUID& IID, void** Intf);
template<class I>
bool XSupports(TObject* Instance, IPtr<I>& Intf)
{
    void* Out = nullptr;
    bool Found = XSupports(Instance, I::IID, &Out);
    Intf = IPtr<I>::Adopt(Found ? static_cast<I*>(Out) : nullptr);
    return Found;
}

// BaseName, BaseName1, BaseName2... : the first name the owner's rename
// validation (or the component's own, without an owner) accepts.
void MakeUniqueComponentName(TComponent* Component, const String& BaseName, String& Name);

// Published properties by name. Every failure (no such property, a value
// without text, bad text) answers false instead of raising.
bool GetPropText(TObject* Instance, StringView Name, String& Text);
bool GetPropBool(TObject* Instance, StringView Name, bool& Value);
bool SetPropText(TObject* Instance, StringView Name, StringView Text);
