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
//
// Every library is linked whole, so a program holds the units of every
// library it links. A program initialises only those it uses by naming
// them; the units they use follow:
//
//     InitializeUnits(SorvaneUnits);
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

using TUnitProc = void (*)();

struct TUnitRegistrar {
    TUnitRegistrar(const char* Name, std::initializer_list<const char*> Uses, TUnitProc Init, TUnitProc Done);
};

#define X_UNIT(Ident, Name, Uses, Init, Done)                                                                          \
    static TUnitRegistrar XUnit_##Ident(Name, std::initializer_list<const char*> Uses, Init, Done);

// Every registered unit.
void InitializeUnits();
// The units named in Roots and those they use, directly or not, in the
// order InitializeUnits() would run them. Every root must be registered.
void InitializeUnits(const std::vector<std::string>& Roots);
// Runs the exit procedures, then every initialised unit's finalisation.
void FinalizeUnits();
// An exit procedure runs when the program ends, before any unit is
// finalised, the last added first; each runs once. What it frees may still
// use every unit: the application's forms go here, so their controls are
// gone before the units those controls use.
void AddExitProc(TUnitProc Proc);
bool UnitsInitialized();
// The order InitializeUnits() runs every registered unit in.
std::vector<std::string> UnitOrder();
// The same order, of the units InitializeUnits(Roots) runs.
std::vector<std::string> UnitOrder(const std::vector<std::string>& Roots);
// The units initialised and not yet finalised, in the order they ran.
std::vector<std::string> InitializedUnits();
