// Unit initialisation and finalisation.
//
// Each unit registers its initialise and finalise procedures with the names
// of the units it uses:
//
//     X_UNIT(XCore_Errors, "XCore.Errors", {"XCore.Classes"}, &InitErrors, &DoneErrors);
//
// InitializeUnits runs them once, every unit after the units it uses (ties
// by name), and FinalizeUnits in the reverse order. Registration only
// records; nothing runs during C++ static initialisation.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

using TUnitProc = void (*)();

struct TUnitRegistrar {
    TUnitRegistrar(const char* Name, std::initializer_list<const char*> Uses, TUnitProc Init, TUnitProc Done);
};

#define X_UNIT(Ident, Name, Uses, Init, Done) \
    static TUnitRegistrar XUnit_##Ident(Name, std::initializer_list<const char*> Uses, Init, Done);

void InitializeUnits();
void FinalizeUnits();
bool UnitsInitialized();
// The order InitializeUnits runs (or ran) the units in.
std::vector<std::string> UnitOrder();
