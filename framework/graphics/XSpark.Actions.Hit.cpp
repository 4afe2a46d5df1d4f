#include "graphics/XSpark.Actions.Hit.h"
#include "core/XCore.IO.h"
#include "core/XCore.System.h"
#include "core/XPlatform.Utils.h"
#include "graphics/XMedia.Types.h"
#include "win/Messages.h"

X_REGISTER_CLASS(TXHitItem)
X_REGISTER_CLASS(TXHitCollection)
X_REGISTER_CLASS(TXHitAspect)
X_REGISTER_CLASS(TXHitAreaItem)

namespace XSpark::Actions::Hit {
X_REGISTER_CLASS_AS(TXAreaCollection, u"XSpark.Actions.Hit.TXAreaCollection")
X_PUBLISHED(TXAreaCollection)
{
    XDetail::DefineAreaEvents(D);
}
}

X_PUBLISHED(TXHitItem)
{
    X_PROP(Name, DisplayName, SetDisplayName);
    X_PROP(Hit, Hit, SetHit).Default(xhtNone);
    X_PROP(Cursor, Cursor, SetCursor).Default(crDefault);
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(Command, Command, SetCommand);
    X_PROP(Args, Args, SetArgs);
    X_PROP(Hint, Hint, SetHint);
}

X_PUBLISHED(TXHitAreaItem)
{
    X_PROP(Area, Area, SetArea);
}

X_PUBLISHED(TXHitCollection)
{
    XDetail::DefineHitEvents(D);
}

const std::array<TCursor, xhtCount> HitTypeCursors = {
    crDefault, // xhtNone
    crDefault, // xhtClient
    crXHMove, // xhtCaption
    crXHPoint, // xhtSysMenu
    crSizeNWSE, // xhtSize
    crDefault, // xhtMenu
    crDefault, // xhtHScroll
    crDefault, // xhtVScroll
    crXHPoint, // xhtMin
    crXHPoint, // xhtMax
    crSizeWE, // xhtLeft
    crSizeWE, // xhtRight
    crSizeNS, // xhtTop
    crSizeNWSE, // xhtTopLeft
    crSizeNESW, // xhtTopRight
    crSizeNS, // xhtBottom
    crSizeNESW, // xhtBottomLeft
    crSizeNWSE, // xhtBottomRight
    crDefault, // xhtBorder
    crXHPoint, // xhtObject
    crXHPoint, // xhtClose
    crXHPoint, // xhtHelp
    crXHPoint, // xhtRoll
    crXHPoint, // xhtTray
    crXHPoint, // xhtExe
    crXHPoint, // xhtMail
    crXHPoint, // xhtWeb
    crXHPoint, // xhtDownload
    crXHPoint, // xhtCgiDownload
    crXHPoint, // xhtReserved
    crXHPoint, // xhtCustom
};

TCursor HitTypeCursor(Integer Hit)
{
    return Hit >= 0 && Hit < xhtCount ? HitTypeCursors[size_t(Hit)] : crDefault;
}

Integer HitTypeToNCHitTest(TXHitType Hit)
{
    const Integer Code = Integer(Hit) & 0x7F;
    return Code <= HTHELP ? Code : HTCLIENT;
}

// ---- TXHitItem ----

bool TXHitItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXHitItem>(Source)) {
        FHit = Other->FHit;
        FCursor = Other->FCursor;
        FCaption = Other->FCaption;
        FCommand = Other->FCommand;
        FArgs = Other->FArgs;
        FHint = Other->FHint;
    }
    return inherited::AssignFrom(Source);
}

void TXHitItem::SetHit(TXHitType Value)
{
    if (Integer(Value) >= xhtCount)
        return;
    FHit = Value;
    FCursor = HitTypeCursor(Value);
}

TXHitItemHost* TXHitItem::Host() const
{
    return dynamic_cast<TXHitItemHost*>(Collection());
}

bool TXHitItem::Execute()
{
    bool Handled = false;
    bool Freed = false;
    {
        TLifeWatch Watch(FLife);
        TXHitItemHost* H = Host();
        Handled = H && H->HandleHit(this);
        Freed = Watch.Freed();
    }
    if (Handled || Freed)
        return Handled;
    // The shell calls no handler of ours; only Hit may free the item, and
    // nothing follows it.
    Handled = RunOwnAction();
    if (!Handled)
        if (TXHitItemHost* H = Host())
            H->Hit(this);
    return Handled;
}

bool TXHitItem::RunOwnAction()
{
    TXQVSystem* System = QVSystem();
    switch (FHit) {
    case xhtExe:
        if (FCommand.empty())
            return false;
        if (System)
            System->ShellExecute(xsvOpen, ExpandPathMacros(FCommand), ExpandPathMacros(FArgs), {});
        return true;
    case xhtMail:
        if (FArgs.empty())
            return false;
        if (System)
            System->MailTo(ExpandPathMacros(FArgs));
        return true;
    case xhtWeb:
        if (FArgs.empty())
            return false;
        if (System)
            System->ShellOpen(ExpandPathMacros(FArgs));
        return true;
    default: return false;
    }
}

void TXHitItem::ExecuteOr(const TXHitItemProc& Handler)
{
    TLifeWatch Watch(FLife);
    if (Execute() || Watch.Freed() || !Handler)
        return;
    const TXHitItemProc Call = Handler;
    Call(this);
}

// ---- TXHitAreaItem ----

void TXHitAreaItem::Init()
{
    inherited::Init();
    FState = 0;
    FPaintState = cstOff;
}

bool TXHitAreaItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXHitAreaItem>(Source)) {
        FRect = Other->FRect;
        FPaintState = Other->FPaintState;
        FState = Other->FState;
    }
    return inherited::AssignFrom(Source);
}

String TXHitAreaItem::Area() const
{
    return RectToText(FRect);
}

void TXHitAreaItem::SetArea(const String& Value)
{
    FRect = RectFromText(Value);
}

bool TXHitAreaItem::IncludeState(Integer Bit)
{
    return ChangeState(Bit, true);
}

bool TXHitAreaItem::ExcludeState(Integer Bit)
{
    return ChangeState(Bit, false);
}

bool TXHitAreaItem::ChangeState(Integer Bit, bool On)
{
    if (Bit >= 0 && Bit <= 7)
        FState = On ? Byte(FState | (1 << Bit)) : Byte(FState & ~(1 << Bit));
    const TXPaintState Old = FPaintState;
    FPaintState = PaintStateFromFlags(FState);
    const bool Changed = FPaintState != Old;
    if (Bit != 4)
        return Changed;
    bool Freed = false;
    if (On) {
        TLifeWatch Watch(FLife);
        Execute();
        Freed = Watch.Freed();
    }
    if (!Freed)
        if (auto* Host = dynamic_cast<TXAreaItemHost*>(Collection()))
            On ? Host->AreaSelected(this) : Host->AreaDeselected(this);
    return Changed;
}

// ---- TXHitAspect ----

void TXHitAspect::Create(Integer AMonitor, TXHitItem* Item)
{
    inherited::Create();
    Monitor = AMonitor;
    if (Item) {
        Hit = Item->Hit();
        Name = Item->DisplayName();
        Command = Item->Command();
        Args = Item->Args();
    }
}
