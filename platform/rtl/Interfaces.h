// Interfaces with GUIDs, reference counting and the interface pointer.
//
// An interface is an abstract struct deriving from IInterface that names
// its GUID with X_GUID. A class lists the interfaces it implements with
// X_INTERFACES(...) and implements QueryInterface/_AddRef/_Release once;
// the one definition overrides them for every interface base.
#pragma once
#include "rtl/Guid.h"
#include "rtl/Object.h"
#include <utility>

#define X_GUID(Text) static constexpr TGUID IID = TGUID::Parse(Text);

struct IInterface {
    X_GUID("{00000000-0000-0000-C000-000000000046}")
    virtual HRESULT QueryInterface(const TGUID& IID, void** Obj) = 0;
    virtual Integer _AddRef() = 0;
    virtual Integer _Release() = 0;

protected:
    ~IInterface() = default;
};

// Asking any interface for this IID answers the object behind it (no
// reference is added): the class library's "Intf as TObject".
inline constexpr TGUID IID_TObject = TGUID::Parse("{4A4F4A86-0F4F-4A3B-9E63-7C8F6C2B0D11}");
TObject* InterfaceToObject(IInterface* Intf);

// Counted interface pointer.
template<class I>
class IPtr {
public:
    IPtr() = default;
    IPtr(std::nullptr_t) { }
    IPtr(I* P)
        : FPtr(P)
    {
        if (FPtr)
            FPtr->_AddRef();
    }
    IPtr(const IPtr& O)
        : IPtr(O.FPtr)
    { }
    IPtr(IPtr&& O) noexcept
        : FPtr(std::exchange(O.FPtr, nullptr))
    { }
    template<class J, class = std::enable_if_t<std::is_convertible_v<J*, I*>>>
    IPtr(const IPtr<J>& O)
        : IPtr(static_cast<I*>(O.Get()))
    { }
    ~IPtr() { Reset(); }

    IPtr& operator=(IPtr O) noexcept
    {
        std::swap(FPtr, O.FPtr);
        return *this;
    }
    IPtr& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }

    // Takes over a reference already added (as GetInterface hands out).
    static IPtr Adopt(I* P)
    {
        IPtr R;
        R.FPtr = P;
        return R;
    }
    void Reset()
    {
        if (I* P = std::exchange(FPtr, nullptr))
            P->_Release();
    }
    // Lets go of the pointer without releasing it: for a reference whose
    // object is known to be gone already.
    I* Detach() { return std::exchange(FPtr, nullptr); }
    I* Get() const { return FPtr; }
    I* operator->() const { return FPtr; }
    I& operator*() const { return *FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    friend bool operator==(const IPtr& A, const IPtr& B) { return A.FPtr == B.FPtr; }
    friend bool operator==(const IPtr& A, std::nullptr_t) { return A.FPtr == nullptr; }

    // QueryInterface for another interface; null when not supported.
    template<class J>
    IPtr<J> As() const
    {
        void* Out = nullptr;
        if (FPtr && FPtr->QueryInterface(J::IID, &Out) == S_OK)
            return IPtr<J>::Adopt(static_cast<J*>(Out));
        return {};
    }

private:
    I* FPtr = nullptr;
};

// Supports(Instance, I): the interface when the object implements it.
// Asks the object's own QueryInterface first when the object is an
// IInterface (so forwarding to a controller works), then its class.
template<class I>
IPtr<I> Supports(TObject* Instance)
{
    void* Out = nullptr;
    if (Instance && Instance->GetInterface(I::IID, &Out))
        return IPtr<I>::Adopt(static_cast<I*>(Out));
    return {};
}
template<class I, class J>
IPtr<I> Supports(const IPtr<J>& Intf)
{
    return Intf.template As<I>();
}

namespace XDetail {
template<class Self, class First, class... Rest>
bool QueryListed(Self* Obj, const TGUID& IID, void** Out)
{
    if (IID == First::IID) {
        First* P = static_cast<First*>(Obj);
        P->_AddRef();
        *Out = P;
        return true;
    }
    if constexpr (sizeof...(Rest) > 0)
        return QueryListed<Self, Rest...>(Obj, IID, Out);
    else
        return false;
}
template<class Self, class First, class... Rest>
bool QueryInterfaces(Self* Obj, const TGUID& IID, void** Out)
{
    if (IID == IInterface::IID) {
        IInterface* P = static_cast<First*>(Obj);
        P->_AddRef();
        *Out = P;
        return true;
    }
    return QueryListed<Self, First, Rest...>(Obj, IID, Out);
}
}

// In a class body: the interfaces this class adds to its parent's.
#define X_INTERFACES(Self, ...)                                                                                        \
public:                                                                                                                \
    bool GetInterface(const TGUID& IID, void** Obj) override                                                           \
    {                                                                                                                  \
        return XDetail::QueryInterfaces<Self, __VA_ARGS__>(this, IID, Obj) || inherited::GetInterface(IID, Obj);       \
    }

// In the body of a class whose new interface bases need the IInterface
// methods of Base: one definition that forwards all three to it.
#define X_FORWARD_IINTERFACE(Base)                                                                                     \
public:                                                                                                                \
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override                                                      \
    {                                                                                                                  \
        return Base::QueryInterface(IID, Obj);                                                                         \
    }                                                                                                                  \
    Integer _AddRef() override                                                                                         \
    {                                                                                                                  \
        return Base::_AddRef();                                                                                        \
    }                                                                                                                  \
    Integer _Release() override                                                                                        \
    {                                                                                                                  \
        return Base::_Release();                                                                                       \
    }

// The class library's TInterfacedObject: counted, freed by its last Release.
// An object handed out during its construction survives the release of that
// reference, because the count starts at 1 until AfterConstruction.
class TInterfacedObject : public TObject, public IInterface {
    X_CLASS(TInterfacedObject, TObject)
    X_INTERFACES(TInterfacedObject, IInterface)
public:
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override;
    Integer _AddRef() override;
    Integer _Release() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    Integer RefCount() const { return FRefCount.load(); }

private:
    std::atomic<Integer> FRefCount { 1 };
};

// An interface reference owned by a TObject: CreateIntf<T>(args) builds a
// counted object and answers it as interface I.
template<class I, class T, class... A>
IPtr<I> NewIntf(A&&... Args)
{
    return IPtr<I>(static_cast<I*>(New<T>(std::forward<A>(Args)...)));
}
