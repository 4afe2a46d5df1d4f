// The units the recovery program initialises at start, before its program
// block runs: InitializeUnits(SorvaneUnits()). Every unit they use is named
// here too, so the list is the program's whole set. The process clock
// (XCore.Clock) is not among them: its one-second timer serves the other
// program's calendar work, and this program has none.
#pragma once
#include <string>
#include <vector>

const std::vector<std::string>& SorvaneUnits();
