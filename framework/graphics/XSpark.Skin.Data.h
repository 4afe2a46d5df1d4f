// Paint states: the thirteen ways a skinned control or hit area can look,
// how its state flags choose one, and how a collection of pictures named
// by state prefixes ("Hot_Close", "Press_Close", ...) gives one picture
// index per state, falling back where a picture is missing.
//
//     TXStateImageIndexes Indexes;
//     GetStateImageIndexes(Box->Images(), u"Close", Indexes);
//     Integer Index = StateImageIndex(Indexes, PaintStateFromFlags(Flags));
#pragma once
#include "core/XCore.Collections.h"
#include <array>

// "On" is checked, "Mix" the third (indeterminate) check state, "Dis"
// disabled, "Hot" under the mouse.
enum TXPaintState : Byte {
    cstGroupDis,
    cstDis,
    cstHot,
    cstOff,
    cstOn,
    cstMix,
    cstPress,
    cstFocus,
    cstDisOn,
    cstHotOn,
    cstFocusOn,
    cstDisMix,
    cstHotMix
};
X_ENUM_INFO(TXPaintState, cstGroupDis, cstDis, cstHot, cstOff, cstOn, cstMix, cstPress, cstFocus, cstDisOn, cstHotOn,
    cstFocusOn, cstDisMix, cstHotMix)

// The state flags of a hit area or control, one byte. Either of the two
// low bits means disabled; bit 3 means nothing.
constexpr Byte PaintFlagDisabled = 0x03;
constexpr Byte PaintFlagHot = 0x04;
constexpr Byte PaintFlagOn = 0x10;
constexpr Byte PaintFlagMixed = 0x20;
constexpr Byte PaintFlagPressed = 0x40;
constexpr Byte PaintFlagFocused = 0x80;

// One picture index per state cstDis..cstHotMix (element = state - 1).
using TXStateImageIndexes = std::array<Integer, 12>;

// The name prefix of the pictures of a state, cstDis..cstHotMix ("Dis_" ..
// "HotMix_"); empty for cstGroupDis.
const String& StateImagePrefix(TXPaintState State);
// The index for State (cstGroupDis takes cstDis's).
Integer StateImageIndex(const TXStateImageIndexes& Indexes, TXPaintState State);

// On first (disabled, hot, focused), then mixed (disabled, hot), then
// unchecked (disabled, pressed, hot, focused), each in that order.
TXPaintState PaintStateFromFlags(Byte Flags);
TXPaintState GetEnabledHotPaintState(bool Enabled, bool Hot);
// CheckState cstOn or cstMix picks the checked or mixed family; anything
// else the unchecked one.
TXPaintState GetCheckedPaintState(bool Enabled, bool Hot, TXPaintState CheckState);

// The picture of each state for the base name: its own ("Hot_" + BaseName,
// display names compared without regard to case, the first match), else
// the "Off_" picture, else 0; the combined states fall back to a simple
// one (DisOn and DisMix to Dis, HotOn and HotMix to Hot, FocusOn to On).
void GetStateImageIndexes(TXCustomCollection* Collection, const String& BaseName, TXStateImageIndexes& Indexes);
// The same with the base name of the collection's first item (the text
// after the first "_" of its display name); empty collections give 0s.
void GetStateImageIndexesOfCollection(TXCustomCollection* Collection, TXStateImageIndexes& Indexes);
