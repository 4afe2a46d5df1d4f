#include "rtl/Units.h"
#include "rtl/Types.h"
#include "rtl/Verify.h"
#include <algorithm>
#include <map>
#include <mutex>
#include <set>

namespace {
struct TUnit {
    std::string Name;
    std::vector<std::string> Uses;
    TUnitProc Init = nullptr;
    TUnitProc Done = nullptr;
};

std::map<std::string, TUnit>& Units()
{
    static std::map<std::string, TUnit> Table;
    return Table;
}

std::vector<std::string> Initialized;
std::vector<TUnitProc> ExitProcs;
bool Running = false;

void Visit(const std::string& Name, std::set<std::string>& Seen, std::vector<std::string>& Order)
{
    if (!Seen.insert(Name).second)
        return;
    auto It = Units().find(Name);
    if (It == Units().end())
        return;
    for (const auto& Used : It->second.Uses)
        Visit(Used, Seen, Order);
    Order.push_back(Name);
}
}

TUnitRegistrar::TUnitRegistrar(const char* Name, std::initializer_list<const char*> Uses, TUnitProc Init,
    TUnitProc Done)
{
    TUnit Unit { Name, {}, Init, Done };
    for (const char* U : Uses)
        Unit.Uses.emplace_back(U);
    Units()[Name] = std::move(Unit);
}

std::vector<std::string> UnitOrder()
{
    std::set<std::string> Seen;
    std::vector<std::string> Order;
    for (const auto& [Name, Unit] : Units())
        Visit(Name, Seen, Order);
    return Order;
}

std::vector<std::string> UnitOrder(const std::vector<std::string>& Roots)
{
    // What the roots use, then the full order kept to those units: a
    // program runs its units in the order every test program runs them.
    std::set<std::string> Wanted;
    std::vector<std::string> Pending;
    for (const auto& Root : Roots) {
        X_VERIFY(Units().count(Root), "a program names a unit that is not linked in");
        Pending.push_back(Root);
    }
    while (!Pending.empty()) {
        std::string Name = std::move(Pending.back());
        Pending.pop_back();
        auto It = Units().find(Name);
        if (It == Units().end() || !Wanted.insert(Name).second)
            continue;
        Pending.insert(Pending.end(), It->second.Uses.begin(), It->second.Uses.end());
    }
    std::vector<std::string> Order = UnitOrder();
    std::erase_if(Order, [&](const std::string& Name) { return !Wanted.count(Name); });
    return Order;
}

namespace {
void Initialize(const std::vector<std::string>& Order)
{
    Running = true;
    MainThreadID = GetCurrentThreadId();
    for (const auto& Name : Order) {
        const TUnit& Unit = Units()[Name];
        Initialized.push_back(Name);
        if (Unit.Init)
            Unit.Init();
    }
}
}

void InitializeUnits()
{
    if (!Running)
        Initialize(UnitOrder());
}

void InitializeUnits(const std::vector<std::string>& Roots)
{
    if (!Running)
        Initialize(UnitOrder(Roots));
}

void FinalizeUnits()
{
    if (!Running)
        return;
    while (!ExitProcs.empty()) {
        TUnitProc Proc = ExitProcs.back();
        ExitProcs.pop_back();
        Proc();
    }
    while (!Initialized.empty()) {
        std::string Name = Initialized.back();
        Initialized.pop_back();
        if (TUnitProc Done = Units()[Name].Done)
            Done();
    }
    Running = false;
}

void AddExitProc(TUnitProc Proc)
{
    if (Proc)
        ExitProcs.push_back(Proc);
}

bool UnitsInitialized()
{
    return Running;
}

std::vector<std::string> InitializedUnits()
{
    return Initialized;
}
