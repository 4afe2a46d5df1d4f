// TObject, the root of every class, and the class metadata behind it.
//
// Construction follows the class library's two steps: the C++ constructor
// only initialises fields (no virtual call works there); the class's
// Create(...) body then runs with full virtual dispatch, and
// AfterConstruction follows. New<T>(args...) does all of it:
//
//     auto* List = New<TStringList>();
//     auto* Button = New<TButton>(Owner);      // calls TButton::Create(Owner)
//
// A class that the program creates by name or persists declares
// X_CLASS(Self, Base) in its body and X_REGISTER_CLASS(Self) in its source;
// the class then has a TClassInfo with its name, parent and factory.
// Objects are freed with Free() (BeforeDestruction, then the destructor).
#pragma once
#include "rtl/Exceptions.h"
#include "rtl/Types.h"
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class TObject;
struct TClassInfo;
struct TPropInfo;
using TClass = const TClassInfo*;

struct TClassInfo {
    String Name;
    TClass Parent = nullptr;
    TObject* (*Factory)() = nullptr; // null for abstract classes
    // Published properties of this class alone, in declaration order;
    // filled by the reflection layer.
    std::vector<const TPropInfo*> Props;

    bool InheritsFrom(TClass Ancestor) const;
    // A bare instance: the C++ constructor has run, Create has not.
    TObject* NewInstance() const;
    String ClassName() const { return Name; }
};

// Registry of classes by name (case-insensitive). Classes that use
// X_REGISTER_CLASS are in it before main() runs.
void RegisterClassInfo(TClass Class);
TClass FindClass(StringView Name); // raises EClassNotFound
TClass GetClass(StringView Name); // null when unknown
std::vector<TClass> RegisteredClasses();

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject();

    static TClass StaticClass();
    virtual TClass ClassType() const { return StaticClass(); }
    String ClassName() const { return ClassType()->Name; }
    bool InheritsFrom(TClass Class) const { return ClassType()->InheritsFrom(Class); }
    template<class T>
    bool Is() const
    {
        return InheritsFrom(T::StaticClass());
    }

    // The constructor body of the class library's TObject.
    virtual void Create() { }
    virtual void AfterConstruction() { }
    virtual void BeforeDestruction() { }
    void Free();

    // Finds an interface this class implements; on success *Obj holds the
    // interface with one reference added.
    virtual bool GetInterface(const struct TGUID& IID, void** Obj);

    // The object's own monitor: re-entrant, created on first use.
    void MonitorEnter() const;
    void MonitorExit() const;
    bool MonitorTryEnter() const;

private:
    mutable std::atomic<std::recursive_mutex*> FMonitor { nullptr };
    std::recursive_mutex& Monitor() const;
};

// Runs Create(args...) and AfterConstruction on a bare instance; when Create
// raises, the instance is destroyed and the exception passes on.
template<class T, class... A>
T* Construct(T* Obj, A&&... Args)
{
    try {
        Obj->Create(std::forward<A>(Args)...);
    } catch (...) { // frees the half-made instance, then passes the exception on
        delete Obj;
        throw;
    }
    Obj->AfterConstruction();
    return Obj;
}

template<class T, class... A>
T* New(A&&... Args)
{
    return Construct(new T(), std::forward<A>(Args)...);
}

template<class T>
void FreeAndNil(T*& Obj)
{
    T* Old = Obj;
    Obj = nullptr;
    if (Old)
        Old->Free();
}

struct TObjectFree {
    void operator()(TObject* Obj) const
    {
        if (Obj)
            Obj->Free();
    }
};
// Sole ownership of a TObject outside an owner tree.
template<class T>
using TOwnedPtr = std::unique_ptr<T, TObjectFree>;
template<class T, class... A>
TOwnedPtr<T> MakeOwned(A&&... Args)
{
    return TOwnedPtr<T>(New<T>(std::forward<A>(Args)...));
}

// Checked downcast: null when Obj is null or not of class T.
template<class T>
T* DynamicCast(TObject* Obj)
{
    return Obj && Obj->Is<T>() ? static_cast<T*>(Obj) : nullptr;
}
template<class T>
const T* DynamicCast(const TObject* Obj)
{
    return Obj && Obj->Is<T>() ? static_cast<const T*>(Obj) : nullptr;
}
// The class library's "as": raises EInvalidCast when Obj is not a T.
template<class T>
T* As(TObject* Obj)
{
    if (!Obj)
        return nullptr;
    if (!Obj->Is<T>())
        throw EInvalidCast(u"Invalid class typecast");
    return static_cast<T*>(Obj);
}

// RAII holder of an object's monitor.
class TMonitorLock {
public:
    explicit TMonitorLock(const TObject* Obj)
        : FObj(Obj)
    {
        FObj->MonitorEnter();
    }
    ~TMonitorLock() { FObj->MonitorExit(); }
    TMonitorLock(const TMonitorLock&) = delete;
    TMonitorLock& operator=(const TMonitorLock&) = delete;

private:
    const TObject* FObj;
};

namespace XDetail {
template<class T>
TObject* Factory()
{
    if constexpr (std::is_abstract_v<T> || !std::is_default_constructible_v<T>)
        return nullptr;
    else
        return new T();
}
struct TClassRegistrar {
    explicit TClassRegistrar(TClass Class) { RegisterClassInfo(Class); }
};
template<class T>
TClass MakeClassInfo(const char16_t* Name, TClass Parent)
{
    static TClassInfo Info { Name, Parent, std::is_abstract_v<T> ? nullptr : &Factory<T>, {} };
    return &Info;
}
}

// In a class body: declares the class's metadata. Leaves access public.
#define X_CLASS(Self, Base)                                                                                            \
public:                                                                                                                \
    struct XPublished; /* the published block of X_PUBLISHED */                                                        \
    using inherited = Base;                                                                                            \
    static TClass StaticClass();                                                                                       \
    TClass ClassType() const override                                                                                  \
    {                                                                                                                  \
        return Self::StaticClass();                                                                                    \
    }

// In the class's source: defines the metadata and registers the class by name.
#define X_REGISTER_CLASS(Self)                                                                                         \
    TClass Self::StaticClass()                                                                                         \
    {                                                                                                                  \
        return XDetail::MakeClassInfo<Self>(u## #Self, inherited::StaticClass());                                      \
    }                                                                                                                  \
    static XDetail::TClassRegistrar XRegistrar_##Self(Self::StaticClass());

// The same for a class that a unit's namespace tells apart from another of
// its name: it registers under NameText ("XSkin.TXSkin"). Use it inside
// the namespace.
#define X_REGISTER_CLASS_AS(Self, NameText)                                                                            \
    TClass Self::StaticClass()                                                                                         \
    {                                                                                                                  \
        return XDetail::MakeClassInfo<Self>(NameText, inherited::StaticClass());                                       \
    }                                                                                                                  \
    static XDetail::TClassRegistrar XRegistrar_##Self(Self::StaticClass());

// For class templates: metadata defined inline, not registered by name.
#define X_CLASS_TEMPLATE(Self, Base, NameText)                                                                         \
public:                                                                                                                \
    using inherited = Base;                                                                                            \
    static TClass StaticClass()                                                                                        \
    {                                                                                                                  \
        return XDetail::MakeClassInfo<Self>(NameText, Base::StaticClass());                                            \
    }                                                                                                                  \
    TClass ClassType() const override                                                                                  \
    {                                                                                                                  \
        return Self::StaticClass();                                                                                    \
    }
