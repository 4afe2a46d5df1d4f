#include "graphics/XSpark.Skin.Data.h"

namespace {

const std::array<String, 13> Prefixes { u"", u"Dis_", u"Hot_", u"Off_", u"On_", u"Mix_", u"Press_", u"Focus_",
    u"DisOn_", u"HotOn_", u"FocusOn_", u"DisMix_", u"HotMix_" };

bool Disabled(Byte Flags)
{
    return (Flags & PaintFlagDisabled) != 0;
}

}

const String& StateImagePrefix(TXPaintState State)
{
    return Prefixes[State < Prefixes.size() ? State : 0];
}

Integer StateImageIndex(const TXStateImageIndexes& Indexes, TXPaintState State)
{
    const size_t Slot = State == cstGroupDis ? 0 : size_t(State) - 1;
    return Slot < Indexes.size() ? Indexes[Slot] : 0;
}

TXPaintState PaintStateFromFlags(Byte Flags)
{
    if (Flags & PaintFlagOn) {
        if (Disabled(Flags))
            return cstDisOn;
        if (Flags & PaintFlagHot)
            return cstHotOn;
        if (Flags & PaintFlagFocused)
            return cstFocusOn;
        return cstOn;
    }
    if (Flags & PaintFlagMixed) {
        if (Disabled(Flags))
            return cstDisMix;
        if (Flags & PaintFlagHot)
            return cstHotMix;
        return cstMix;
    }
    if (Disabled(Flags))
        return cstDis;
    if (Flags & PaintFlagPressed)
        return cstPress;
    if (Flags & PaintFlagHot)
        return cstHot;
    if (Flags & PaintFlagFocused)
        return cstFocus;
    return cstOff;
}

TXPaintState GetEnabledHotPaintState(bool Enabled, bool Hot)
{
    return !Enabled ? cstDis : Hot ? cstHot : cstOff;
}

TXPaintState GetCheckedPaintState(bool Enabled, bool Hot, TXPaintState CheckState)
{
    switch (CheckState) {
    case cstOn: return !Enabled ? cstDisOn : Hot ? cstHotOn : cstOn;
    case cstMix: return !Enabled ? cstDisMix : Hot ? cstHotMix : cstMix;
    default: return GetEnabledHotPaintState(Enabled, Hot);
    }
}

void GetStateImageIndexes(TXCustomCollection* Collection, const String& BaseName, TXStateImageIndexes& Indexes)
{
    Indexes.fill(0);
    auto Find = [&](TXPaintState State) {
        return Collection ? Collection->IndexOfName(StateImagePrefix(State) + BaseName) : -1;
    };
    auto Slot = [&](TXPaintState State) -> Integer& { return Indexes[size_t(State) - 1]; };

    const Integer OffIndex = Find(cstOff);
    for (TXPaintState State : { cstDis, cstHot, cstOff, cstOn, cstMix, cstPress, cstFocus }) {
        const Integer Own = Find(State);
        Slot(State) = Own >= 0 ? Own : OffIndex >= 0 ? OffIndex : 0;
    }
    const std::pair<TXPaintState, TXPaintState> Combined[] = { { cstDisOn, cstDis }, { cstHotOn, cstHot },
        { cstFocusOn, cstOn }, { cstDisMix, cstDis }, { cstHotMix, cstHot } };
    for (const auto& [State, Fallback] : Combined) {
        const Integer Own = Find(State);
        Slot(State) = Own >= 0 ? Own : Slot(Fallback);
    }
}

void GetStateImageIndexesOfCollection(TXCustomCollection* Collection, TXStateImageIndexes& Indexes)
{
    String BaseName;
    if (Collection && Collection->Count() > 0) {
        const String Name = Collection->Items(0)->DisplayName();
        const size_t Bar = Name.find(u'_');
        BaseName = Bar == String::npos ? Name : Name.substr(Bar + 1);
    }
    GetStateImageIndexes(Collection, BaseName, Indexes);
}
