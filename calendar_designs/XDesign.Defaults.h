// Design defaults: named bundles of values written into every item that
// asks for them by name. "Date" and "Format" carry the month to show and
// the locale's names and formats; the others carry looks.
#pragma once
#include "calendar_designs/XDesign.Items.h"
#include "core/XCore.Locale.h"

class TXDDefaultItem : public TXFilerableObject {
    X_CLASS(TXDDefaultItem, TXFilerableObject)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;
    // Writes the default's values into an item of the kind it serves;
    // anything that is not a design item raises the usual assign error.
    void AssignTo(TPersistent* Dest) override;

    bool EqualClasses() const { return FEqualClasses; }
    void SetEqualClasses(bool Value) { FEqualClasses = Value; }
    TStringList* DefaultNames() const { return FDefaultNames.get(); }

protected:
    // The values for one item; items of other kinds are left alone.
    virtual void WriteInto(TXDesignItem* Item) { }

private:
    bool FEqualClasses = false;
    TOwnedPtr<TStringList> FDefaultNames;
};

class TXDDefaultDate : public TXDDefaultItem {
    X_CLASS(TXDDefaultDate, TXDDefaultItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    Word Day = 1, Month = 1;
    Integer Year = 2000;

protected:
    void WriteInto(TXDesignItem* Item) override;
};

class TXDDefaultFormat : public TXDDefaultItem {
    X_CLASS(TXDDefaultFormat, TXDDefaultItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    TXFormatSettings FormatSettings;

protected:
    void WriteInto(TXDesignItem* Item) override;
};

// The active calendar the month and schedule items fill their live
// objects from; not owned.
class TXDDefaultVCalendar : public TXDDefaultItem {
    X_CLASS(TXDDefaultVCalendar, TXDDefaultItem)
public:
    bool AssignFrom(TPersistent* Source) override;

    class TXVActiveCalendarEngine* Engine = nullptr;

protected:
    void WriteInto(TXDesignItem* Item) override;
};

class TXDDefaultVisible : public TXDDefaultItem {
    X_CLASS(TXDDefaultVisible, TXDDefaultItem)
public:
    bool AssignFrom(TPersistent* Source) override;
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }

protected:
    void WriteInto(TXDesignItem* Item) override;

private:
    bool FVisible = false;
};

class TXDDefaultAlpha : public TXDDefaultItem {
    X_CLASS(TXDDefaultAlpha, TXDDefaultItem)
public:
    bool AssignFrom(TPersistent* Source) override;
    Byte Alpha() const { return FAlpha; }
    void SetAlpha(Byte Value) { FAlpha = Value; }
    Byte BgAlpha() const { return FBgAlpha; }
    void SetBgAlpha(Byte Value) { FBgAlpha = Value; }
    bool UseBgAlpha() const { return FUseBgAlpha; }
    void SetUseBgAlpha(bool Value) { FUseBgAlpha = Value; }
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor Value) { FTransparentColor = Value; }

protected:
    void WriteInto(TXDesignItem* Item) override;

private:
    Byte FAlpha = 255;
    Byte FBgAlpha = 255;
    bool FUseBgAlpha = false;
    TColor FTransparentColor = clNone;
};

// Defaults by name, owning them, with a flag its setters raise.
class TXDDefaultList : public XClasses::TXObjectList {
    X_CLASS(TXDDefaultList, XClasses::TXObjectList)
public:
    // The first default of that name, without regard to case.
    TXDDefaultItem* FindByName(const String& Name) const;
    void SetDate(Word Day, Word Month, Integer Year);
    void SetFormatSettings(const TXFormatSettings& Settings);
    // Stores the engine in "VCalendar", adding that default when missing;
    // false when "VCalendar" is a default of another kind.
    bool SetCalendarEngine(class TXVActiveCalendarEngine* Engine);

    bool Changed = false;
};
