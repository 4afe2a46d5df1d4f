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
}
