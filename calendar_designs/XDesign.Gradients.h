// Gradients and calendar colours: the colour stops that design items and
// defaults store for their background, border and shadow, and the eleven
// colours with which month and schedule items draw days, names, cells,
// today's frame and the grid.
#pragma once
#include "core/XClasses.h"
#include "core/XCore.Classes.h"
#include "gdi/Colors.h"
#include <array>

// A percentage from 0 to 100, kept in one byte.
using TXPercent = Byte;

class TXGradientStop : public TXCollectionItem {
    X_CLASS(TXGradientStop, TXCollectionItem)
public:
    void Clear() override;
    // Colour, position and mid point of another stop (after the name).
    bool AssignFrom(TPersistent* Source) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    TXPercent Position() const { return FPosition; }
    void SetPosition(TXPercent Value) { FPosition = std::min<TXPercent>(Value, 100); }
    TXPercent Mid() const { return FMid; }
    void SetMid(TXPercent Value) { FMid = std::min<TXPercent>(Value, 100); }

private:
    TColor FColor = 0;
    TXPercent FPosition = 0;
    TXPercent FMid = 0;
};

class TXGradientStops : public TXTypedCollectionOf<XClasses::TXCollection, TXGradientStop> {
    using TBase = TXTypedCollectionOf<XClasses::TXCollection, TXGradientStop>;
    X_CLASS(TXGradientStops, TBase)
public:
    using inherited::Create;
};

class TXGradientObject : public TXPersistent {
    X_CLASS(TXGradientObject, TXPersistent)
public:
    void Init() override;
    void Clear() override;
    bool AssignFrom(TPersistent* Source) override;
    bool IsEmpty() override { return FStops->Count() == 0; }

    TXGradientStops* Stops() const { return FStops.get(); }

private:
    TOwnedPtr<TXGradientStops> FStops;
};

// Index of each calendar colour.
enum TXCalendarColorIndex {
    cciBg,
    cciSaturdayBg,
    cciSundayBg,
    cciHolidayBg,
    cciDay,
    cciSaturday,
    cciSunday,
    cciHoliday,
    cciToday,
    cciDayShadow,
    cciGrid,
    cciCount
};

class TXCalendarColors : public TXPersistent {
    X_CLASS(TXCalendarColors, TXPersistent)
public:
    // Every colour becomes no colour.
    void SetDefaults() override;
    bool AssignFrom(TPersistent* Source) override;
    // True while at least one colour is still no colour.
    bool IsEmpty() override;

    TColor ColorByIndex(Integer Index) const { return FColors[size_t(Index)]; }
    void SetColorByIndex(Integer Index, TColor Value) { FColors[size_t(Index)] = Value; }
    TColor BgColor() const { return FColors[cciBg]; }
    TColor TodayColor() const { return FColors[cciToday]; }

private:
    std::array<TColor, cciCount> FColors {};
};
