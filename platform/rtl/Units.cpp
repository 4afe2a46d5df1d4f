#include "rtl/Units.h"
#include "rtl/Types.h"
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

TUnitRegistrar::TUnitRegistrar(const char* Name, std::initializer_list<const char*> Uses, TUnitProc Init, TUnitProc Done)
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

void InitializeUnits()
{
    if (Running)
        return;
    Running = true;
    MainThreadID = GetCurrentThreadId();
    for (const auto& Name : UnitOrder()) {
        const TUnit& Unit = Units()[Name];
        Initialized.push_back(Name);
        if (Unit.Init)
            Unit.Init();
    }
}

void FinalizeUnits()
{
    if (!Running)
        return;
    while (!Initialized.empty()) {
        std::string Name = Initialized.back();
        Initialized.pop_back();
        if (TUnitProc Done = Units()[Name].Done)
            Done();
    }
    Running = false;
}

bool UnitsInitialized()
{
    return Running;
}
