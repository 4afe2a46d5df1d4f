#include "rtl/Object.h"
#include "rtl/Interfaces.h"
#include <algorithm>
#include <map>
#include <unistd.h>
#include <sys/syscall.h>

TThreadID GetCurrentThreadId()
{
    thread_local TThreadID Id = static_cast<TThreadID>(::syscall(SYS_gettid));
    return Id;
}

TThreadID MainThreadID = GetCurrentThreadId();

bool TClassInfo::InheritsFrom(TClass Ancestor) const
{
    for (TClass C = this; C; C = C->Parent)
        if (C == Ancestor)
            return true;
    return false;
}

TObject* TClassInfo::NewInstance() const
{
    if (!Factory)
        throw EInvalidOperation(u"Cannot create an instance of the abstract class " + Name);
    return Factory();
}

namespace {
struct TClassNameLess {
    bool operator()(const String& A, const String& B) const
    {
        return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(), [](Char X, Char Y) {
            auto Up = [](Char C) { return C >= u'a' && C <= u'z' ? Char(C - 32) : C; };
            return Up(X) < Up(Y);
        });
    }
};

std::map<String, TClass, TClassNameLess>& ClassTable()
{
    static std::map<String, TClass, TClassNameLess> Table;
    return Table;
}

std::mutex& ClassTableLock()
{
    static std::mutex Lock;
    return Lock;
}
}

void RegisterClassInfo(TClass Class)
{
    std::lock_guard Guard(ClassTableLock());
    ClassTable()[Class->Name] = Class;
}

TClass GetClass(StringView Name)
{
    std::lock_guard Guard(ClassTableLock());
    auto It = ClassTable().find(String(Name));
    return It == ClassTable().end() ? nullptr : It->second;
}

TClass FindClass(StringView Name)
{
    if (TClass C = GetClass(Name))
        return C;
    throw EClassNotFound(u"Class " + String(Name) + u" not found");
}

std::vector<TClass> RegisteredClasses()
{
    std::lock_guard Guard(ClassTableLock());
    std::vector<TClass> Result;
    for (auto& [Name, Class] : ClassTable())
        Result.push_back(Class);
    return Result;
}

TClass TObject::StaticClass()
{
    static TClassInfo Info { u"TObject", nullptr, &XDetail::Factory<TObject>, {} };
    return &Info;
}
static XDetail::TClassRegistrar XRegistrar_TObject(TObject::StaticClass());

TObject::~TObject()
{
    delete FMonitor.load();
}

void TObject::Free()
{
    BeforeDestruction();
    delete this;
}

bool TObject::GetInterface(const TGUID& IID, void** Obj)
{
    if (IID == IID_TObject) {
        *Obj = this;
        return true;
    }
    *Obj = nullptr;
    return false;
}

std::recursive_mutex& TObject::Monitor() const
{
    std::recursive_mutex* M = FMonitor.load(std::memory_order_acquire);
    if (!M) {
        auto* Fresh = new std::recursive_mutex;
        if (FMonitor.compare_exchange_strong(M, Fresh, std::memory_order_acq_rel))
            M = Fresh;
        else
            delete Fresh;
    }
    return *M;
}

void TObject::MonitorEnter() const
{
    Monitor().lock();
}
void TObject::MonitorExit() const
{
    Monitor().unlock();
}
bool TObject::MonitorTryEnter() const
{
    return Monitor().try_lock();
}
