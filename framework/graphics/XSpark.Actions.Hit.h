// Hit items: what a click on a spot does. An item starts a program, writes
// a mail or opens a web page itself; every other kind goes to the events
// of its collection, which the programs route on as commands.
//
//     TXHitItem* Item = Hits->Add();
//     Item->SetHit(xhtWeb);                   // Cursor becomes the hand
//     Item->SetArgs(u"https://example.com/");
//     Item->Execute();                        // opened by the shell
//
// Handlers may free the item (or its collection) that calls them: nothing
// of it is touched afterwards.
#pragma once
#include "core/XCore.Collections.h"
#include "core/XCore.Engine.Aspects.h"
#include "gdi/Graphic.h"
#include "graphics/XSpark.Skin.Data.h"
#include "rtl/LifeWatch.h"
#include "vcl/UITypes.h"
#include <array>
#include <functional>

// The cursor of each hit kind: the default one, the program's move (4)
// and pointing hand (5), or the platform's size cursors.
extern const std::array<TCursor, xhtCount> HitTypeCursors;
// The table's cursor; the default one for a value outside the kinds.
TCursor HitTypeCursor(Integer Hit);
// The hit-test code of a kind: the ordinal up to 21 (HTHELP), else
// HTCLIENT.
Integer HitTypeToNCHitTest(TXHitType Hit);

class TXHitItem;
class TXHitAreaItem;

using TXHitEvent = TEvent<void(TObject* Owner, TXHitItem* Item)>;
using TXHandleHitEvent = TEvent<void(TObject* Owner, TXHitItem* Item, bool& Handled)>;
using TXAreaChangeEvent = TEvent<void(TObject* Owner, Integer OldValue, Integer NewValue)>;
using TXAreaEvent = TEvent<void(TObject* Owner, TXHitAreaItem* Item)>;
// How hits travel as commands.
using TXHitCommandEvent = TEvent<void(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName,
    const String& Command, const String& Args)>;
using TXHitItemProc = std::function<void(TXHitItem* Item)>;

// What a hit item asks of the collection that holds it.
class TXHitItemHost {
public:
    // True when the collection's handler took the hit.
    virtual bool HandleHit(TXHitItem* Item) = 0;
    // A hit nobody handled.
    virtual void Hit(TXHitItem* Item) = 0;

protected:
    ~TXHitItemHost() = default;
};

class TXHitItem : public TXCollectionItem {
    X_CLASS(TXHitItem, TXCollectionItem)
public:
    // Copies Hit, Cursor, Caption, Command, Args and Hint from another hit
    // item, then the name.
    bool AssignFrom(TPersistent* Source) override;

    // The collection's handler first; then exe, mail and web items start
    // through the shell (paths and texts with their macros expanded); what
    // is still not handled goes to the collection's Hit. True when handled.
    virtual bool Execute();
    // Execute, and Handler with the item when that answers False.
    virtual void ExecuteOr(const TXHitItemProc& Handler);

    TXHitType Hit() const { return FHit; }
    // Also sets Cursor from the table. A value outside the kinds is refused
    // (the item stays as it was).
    void SetHit(TXHitType Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value) { FCaption = Value; }
    const String& Command() const { return FCommand; }
    void SetCommand(const String& Value) { FCommand = Value; }
    const String& Args() const { return FArgs; }
    void SetArgs(const String& Value) { FArgs = Value; }
    const String& Hint() const { return FHint; }
    void SetHint(const String& Value) { FHint = Value; }

    // The collection's hooks; null outside a hit collection.
    TXHitItemHost* Host() const;

protected:
    TLifeMark FLife;

private:
    // Starts what the kind names; True when it is one the item runs.
    bool RunOwnAction();

    TXHitType FHit = xhtNone;
    TCursor FCursor = crDefault;
    String FCaption;
    String FCommand;
    String FArgs;
    String FHint;
};

// A collection of hit items of class T with the two hit events. The
// owner passed to the events is the collection's owner.
template<class T>
class TXHitCollectionOf : public TXCollection<T>, public TXHitItemHost {
    X_CLASS_TEMPLATE(TXHitCollectionOf, TXCollection<T>, u"TXHitCollection<T>")
public:
    using TXCollection<T>::Create;

    // OnHandleHit's answer; False without one.
    bool HandleHit(TXHitItem* Item) override
    {
        bool Handled = false;
        if (OnHandleHit) {
            const TXHandleHitEvent Call = OnHandleHit;
            Call(this->GetOwner(), Item, Handled);
        }
        return Handled;
    }
    void Hit(TXHitItem* Item) override
    {
        const TXHitEvent Call = OnHit;
        Call(this->GetOwner(), Item);
    }

    TXHitEvent OnHit;
    TXHandleHitEvent OnHandleHit;
};

class TXHitCollection : public TXHitCollectionOf<TXHitItem> {
    X_CLASS(TXHitCollection, TXHitCollectionOf<TXHitItem>)
public:
    using inherited::Create;
};

// What an area item asks of the collection that holds it.
class TXAreaItemHost {
public:
    virtual void AreaSelected(TXHitAreaItem* Item) = 0;
    virtual void AreaDeselected(TXHitAreaItem* Item) = 0;

protected:
    ~TXAreaItemHost() = default;
};

// A hit item on a rectangle, with state flags (bits 0 and 1 disabled, 2
// hot, 4 on, 5 mixed, 6 pressed, 7 focused) and the paint state they
// give.
class TXHitAreaItem : public TXHitItem {
    X_CLASS(TXHitAreaItem, TXHitItem)
public:
    // State 0, cstOff.
    void Init() override;
    // Also the rectangle, the paint state and the flags.
    bool AssignFrom(TPersistent* Source) override;

    const TRect& Rect() const { return FRect; }
    void SetRect(const TRect& Value) { FRect = Value; }
    // The rectangle as "left,top,right,bottom".
    String Area() const;
    void SetArea(const String& Value);
    Byte State() const { return FState; }
    TXPaintState PaintState() const { return FPaintState; }

    // Set or clear flag Bit (0 to 7; others change no flag), then the paint
    // state again; True when the paint state changed. Including bit 4
    // runs Execute every time, then the collection's AreaSelected;
    // excluding it runs AreaDeselected.
    bool IncludeState(Integer Bit);
    bool ExcludeState(Integer Bit);
    // Neither disabled flag is set.
    bool IsEnabled() const { return (FState & PaintFlagDisabled) == 0; }

private:
    bool ChangeState(Integer Bit, bool On);

    TRect FRect {};
    Byte FState = 0;
    TXPaintState FPaintState = cstOff;
};

// Area items of class T with the area events.
template<class T>
class TXAreaCollectionOf : public TXHitCollectionOf<T>, public TXAreaItemHost {
    X_CLASS_TEMPLATE(TXAreaCollectionOf, TXHitCollectionOf<T>, u"TXAreaCollection<T>")
public:
    using TXHitCollectionOf<T>::Create;

    virtual void AreaSelect(Integer OldValue, Integer NewValue) { Fire(OnAreaSelect, OldValue, NewValue); }
    virtual void AreaDeselect(Integer OldValue, Integer NewValue) { Fire(OnAreaDeselect, OldValue, NewValue); }
    virtual void AreaChanged(TXHitAreaItem* Item) { Fire(OnAreaChanged, Item); }
    void AreaSelected(TXHitAreaItem* Item) override { Fire(OnAreaSelected, Item); }
    void AreaDeselected(TXHitAreaItem* Item) override { Fire(OnAreaDeselected, Item); }

    TXAreaChangeEvent OnAreaSelect;
    TXAreaChangeEvent OnAreaDeselect;
    TXAreaEvent OnAreaChanged;
    TXAreaEvent OnAreaSelected;
    TXAreaEvent OnAreaDeselected;

private:
    template<class E, class... A>
    void Fire(const E& Event, A... Args)
    {
        const E Call = Event;
        Call(this->GetOwner(), Args...);
    }
};

namespace XSpark::Actions::Hit {

class TXAreaCollection : public TXAreaCollectionOf<TXHitAreaItem> {
    X_CLASS(TXAreaCollection, TXAreaCollectionOf<TXHitAreaItem>)
public:
    using inherited::Create;
};

}

// The notification that a hit happened: where (the monitor) and what.
class TXHitAspect : public TXCustomAspect {
    X_CLASS(TXHitAspect, TXCustomAspect)
public:
    using inherited::Create;
    void Create(Integer AMonitor, TXHitItem* Item);

    Integer Monitor = 0;
    TXHitType Hit = xhtNone;
    String Name;
    String Command;
    String Args;
};

namespace XDetail {
// The published events of the hit collections.
template<class C>
void DefineHitEvents(TPropDefiner<C>& D)
{
    D.Event(u"OnHit", static_cast<TXHitEvent C::*>(&C::OnHit));
    D.Event(u"OnHandleHit", static_cast<TXHandleHitEvent C::*>(&C::OnHandleHit));
}
// And those of the area collections.
template<class C>
void DefineAreaEvents(TPropDefiner<C>& D)
{
    DefineHitEvents(D);
    D.Event(u"OnAreaSelect", static_cast<TXAreaChangeEvent C::*>(&C::OnAreaSelect));
    D.Event(u"OnAreaDeselect", static_cast<TXAreaChangeEvent C::*>(&C::OnAreaDeselect));
    D.Event(u"OnAreaChanged", static_cast<TXAreaEvent C::*>(&C::OnAreaChanged));
    D.Event(u"OnAreaSelected", static_cast<TXAreaEvent C::*>(&C::OnAreaSelected));
    D.Event(u"OnAreaDeselected", static_cast<TXAreaEvent C::*>(&C::OnAreaDeselected));
}
}
