#include "win/X11Clipboard.h"
#include "rtl/Types.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <poll.h>

namespace {

using TClock = std::chrono::steady_clock;

// The X targets of a format, in the order they are asked for. Text is
// served as UTF-8 only; Latin-1 STRING is only read.
std::vector<std::string> TargetsOf(UINT Format, bool Serving = false)
{
    switch (Format) {
    case CF_UNICODETEXT:
        if (Serving)
            return { "UTF8_STRING", "text/plain;charset=utf-8" };
        return { "UTF8_STRING", "text/plain;charset=utf-8", "STRING" };
    case CF_BITMAP: return { "image/png" };
    case CF_HDROP: return { "text/uri-list" };
    default: break;
    }
    const String Name = GetClipboardFormatName(Format);
    if (Name.empty())
        return {};
    if (Name == u"Rich Text Format")
        return { "text/rtf", "application/rtf" };
    return { StringToUTF8(Name) };
}

std::string Latin1ToUtf8(const std::string& S)
{
    std::string Out;
    for (unsigned char C : S) {
        if (C < 0x80) {
            Out += char(C);
        } else {
            Out += char(0xC0 | (C >> 6));
            Out += char(0x80 | (C & 0x3F));
        }
    }
    return Out;
}

} // namespace

struct TX11Clipboard::TState {
    Display* Dpy = nullptr;
    Window Win = 0;
    Atom Clipboard = 0, Targets = 0, Incr = 0, Property = 0, Utf8 = 0;
    TClipboardItems Items;
    size_t MaxBytes = 64u << 20;
    std::chrono::milliseconds Timeout { 2000 };

    Atom Intern(const std::string& Name) { return XInternAtom(Dpy, Name.c_str(), False); }
    std::string NameOf(Atom A)
    {
        char* N = A ? XGetAtomName(Dpy, A) : nullptr;
        std::string S = N ? N : "";
        if (N)
            XFree(N);
        return S;
    }
    const std::string* DataFor(Atom Target);
    void Answer(const XSelectionRequestEvent& R);
    bool WaitFor(int Type, TClock::time_point Deadline, XEvent& E);
    // The property's bytes (deleted after); false when it is larger than
    // Limit or cannot be read.
    bool TakeProperty(std::string& Out, Atom& Type, size_t Limit);
    // Another owner's data in Target; nothing when refused, too large or
    // late. GaveUp is set for the last two: asking for other targets then
    // would only cost as much again.
    std::optional<std::string> Convert(Atom Target, Atom& Type, TClock::time_point Deadline, bool& GaveUp);
};

const std::string* TX11Clipboard::TState::DataFor(Atom Target)
{
    const std::string Name = NameOf(Target);
    for (const auto& [Format, Data] : Items)
        for (const std::string& T : TargetsOf(Format, true))
            if (T == Name)
                return &Data;
    return nullptr;
}

void TX11Clipboard::TState::Answer(const XSelectionRequestEvent& R)
{
    XSelectionEvent Reply {};
    Reply.type = SelectionNotify;
    Reply.display = Dpy;
    Reply.requestor = R.requestor;
    Reply.selection = R.selection;
    Reply.target = R.target;
    Reply.time = R.time;
    // Old clients name no property: the target's name serves.
    const Atom Prop = R.property ? R.property : R.target;
    Reply.property = None;
    if (R.selection == Clipboard && R.owner == Win) {
        if (R.target == Targets) {
            std::vector<long> List { long(Targets) };
            for (const auto& Item : Items)
                for (const std::string& T : TargetsOf(Item.first, true))
                    List.push_back(long(Intern(T)));
            XChangeProperty(Dpy, R.requestor, Prop, XA_ATOM, 32, PropModeReplace,
                reinterpret_cast<const unsigned char*>(List.data()), int(List.size()));
            Reply.property = Prop;
        } else if (const std::string* Data = DataFor(R.target)) {
            // One property must hold it; larger pictures are refused rather
            // than cut.
            long Max = XExtendedMaxRequestSize(Dpy);
            if (Max == 0)
                Max = XMaxRequestSize(Dpy);
            if (Int64(Data->size()) < Int64(Max) * 4 - 1024) {
                XChangeProperty(Dpy, R.requestor, Prop, R.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(Data->data()), int(Data->size()));
                Reply.property = Prop;
            }
        }
    }
    XEvent Out {};
    Out.xselection = Reply;
    XSendEvent(Dpy, R.requestor, False, NoEventMask, &Out);
    XFlush(Dpy);
}

bool TX11Clipboard::TState::WaitFor(int Type, TClock::time_point Deadline, XEvent& E)
{
    struct TWanted {
        Window Win;
        int Type;
        Atom Property;
    } Wanted { Win, Type, Property };
    auto Match = [](Display*, XEvent* Ev, XPointer Arg) -> Bool {
        const auto* W = reinterpret_cast<const TWanted*>(Arg);
        if (Ev->xany.window != W->Win || Ev->type != W->Type)
            return False;
        if (Ev->type == PropertyNotify)
            return Ev->xproperty.atom == W->Property && Ev->xproperty.state == PropertyNewValue;
        return True;
    };
    for (;;) {
        if (XCheckIfEvent(Dpy, &E, Match, reinterpret_cast<XPointer>(&Wanted)))
            return true;
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
        if (Left <= 0)
            return false;
        pollfd P { ConnectionNumber(Dpy), POLLIN, 0 };
        poll(&P, 1, int(std::min<long long>(Left, 100)));
    }
}

bool TX11Clipboard::TState::TakeProperty(std::string& Out, Atom& Type, size_t Limit)
{
    int Format = 0;
    unsigned long Count = 0, After = 0;
    unsigned char* Data = nullptr;
    // Lengths are in 32-bit units; one more than the limit tells it is over.
    const long Units = long(std::min<size_t>(Limit / 4 + 1, 0x7FFFFFFF / 4));
    if (XGetWindowProperty(Dpy, Win, Property, 0, Units, True, AnyPropertyType, &Type, &Format, &Count, &After,
            &Data) != Success) {
        return false;
    }
    const size_t Unit = Format == 32 ? sizeof(long) : size_t(Format / 8);
    bool Ok = After == 0 && Count * (Format == 32 ? 4 : Unit) <= Limit;
    if (Ok && Data && Format == 8)
        Out.assign(reinterpret_cast<const char*>(Data), Count);
    else if (Ok && Data && Format == 32 && Type == XA_ATOM)
        Out.assign(reinterpret_cast<const char*>(Data), Count * sizeof(long));
    if (Data)
        XFree(Data);
    if (!Ok)
        XDeleteProperty(Dpy, Win, Property);
    return Ok;
}

std::optional<std::string> TX11Clipboard::TState::Convert(Atom Target, Atom& Type, TClock::time_point Deadline,
    bool& GaveUp)
{
    GaveUp = false;
    XDeleteProperty(Dpy, Win, Property);
    XConvertSelection(Dpy, Clipboard, Target, Property, Win, CurrentTime);
    XFlush(Dpy);
    XEvent E;
    if (!WaitFor(SelectionNotify, Deadline, E)) {
        GaveUp = true;
        return std::nullopt;
    }
    if (E.xselection.property == None)
        return std::nullopt;
    // The owner's writing of the answer was a new value of the property
    // too, and came before its notice: it is no INCR piece.
    while (XCheckTypedWindowEvent(Dpy, Win, PropertyNotify, &E)) {
    }
    std::string Data;
    if (!TakeProperty(Data, Type, MaxBytes)) {
        GaveUp = true;
        return std::nullopt;
    }
    if (Type != Incr)
        return Data;
    // INCR: each piece comes as a new value of the property, which we
    // delete to ask for the next; an empty piece ends it.
    Data.clear();
    for (;;) {
        if (!WaitFor(PropertyNotify, Deadline, E)) {
            GaveUp = true;
            XDeleteProperty(Dpy, Win, Property);
            return std::nullopt;
        }
        std::string Piece;
        if (!TakeProperty(Piece, Type, MaxBytes - Data.size())) {
            GaveUp = true;
            return std::nullopt;
        }
        if (Type == None)
            continue; // gone again before we looked: not the end
        if (Piece.empty())
            return Data;
        Data += Piece;
    }
}

TX11Clipboard::TX11Clipboard(Display* Dpy)
    : F(std::make_unique<TState>())
{
    F->Dpy = Dpy;
    XSetWindowAttributes A {};
    A.event_mask = PropertyChangeMask;
    F->Win = XCreateWindow(Dpy, DefaultRootWindow(Dpy), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &A);
    F->Clipboard = F->Intern("CLIPBOARD");
    F->Targets = F->Intern("TARGETS");
    F->Incr = F->Intern("INCR");
    F->Utf8 = F->Intern("UTF8_STRING");
    F->Property = F->Intern("XCLIPBOARD_DATA");
}

TX11Clipboard::~TX11Clipboard()
{
    if (F->Win)
        XDestroyWindow(F->Dpy, F->Win);
}

void TX11Clipboard::SetLimits(size_t MaxBytes, std::chrono::milliseconds Timeout)
{
    F->MaxBytes = MaxBytes;
    F->Timeout = Timeout;
}

void TX11Clipboard::Offer(const TClipboardItems& Items)
{
    F->Items = Items;
    if (!Items.empty())
        XSetSelectionOwner(F->Dpy, F->Clipboard, F->Win, CurrentTime);
    else if (XGetSelectionOwner(F->Dpy, F->Clipboard) == F->Win)
        XSetSelectionOwner(F->Dpy, F->Clipboard, None, CurrentTime);
    XFlush(F->Dpy);
}

bool TX11Clipboard::IsForeign()
{
    return XGetSelectionOwner(F->Dpy, F->Clipboard) != F->Win;
}

std::vector<UINT> TX11Clipboard::Formats()
{
    if (XGetSelectionOwner(F->Dpy, F->Clipboard) == None)
        return {};
    Atom Type = 0;
    bool GaveUp = false;
    const std::optional<std::string> List = F->Convert(F->Targets, Type, TClock::now() + F->Timeout, GaveUp);
    std::vector<UINT> Out;
    if (!List || Type != XA_ATOM)
        return Out;
    const auto* Atoms = reinterpret_cast<const long*>(List->data());
    std::vector<std::string> Names;
    for (size_t I = 0; I < List->size() / sizeof(long); ++I)
        Names.push_back(F->NameOf(Atom(Atoms[I])));
    auto Offered = [&](UINT Format) {
        for (const std::string& T : TargetsOf(Format))
            if (std::find(Names.begin(), Names.end(), T) != Names.end())
                return true;
        return false;
    };
    for (UINT Format : { CF_UNICODETEXT, CF_BITMAP, CF_HDROP, RegisterClipboardFormat(u"Rich Text Format") })
        if (Offered(Format))
            Out.push_back(Format);
    return Out;
}

std::optional<std::string> TX11Clipboard::Read(UINT Format)
{
    if (XGetSelectionOwner(F->Dpy, F->Clipboard) == None)
        return std::nullopt;
    // One bound for the whole read, whichever targets it tries.
    const TClock::time_point Deadline = TClock::now() + F->Timeout;
    for (const std::string& Target : TargetsOf(Format)) {
        Atom Type = 0;
        bool GaveUp = false;
        std::optional<std::string> Data = F->Convert(F->Intern(Target), Type, Deadline, GaveUp);
        if (GaveUp)
            return std::nullopt;
        if (!Data)
            continue;
        if (Target == "STRING" && Type != F->Utf8)
            return Latin1ToUtf8(*Data);
        return Data;
    }
    return std::nullopt;
}

bool TX11Clipboard::Handle(XEvent& E)
{
    switch (E.type) {
    case SelectionRequest:
        if (E.xselectionrequest.owner != F->Win)
            return false;
        F->Answer(E.xselectionrequest);
        return true;
    case SelectionClear:
        if (E.xselectionclear.window != F->Win)
            return false;
        // Another program copied: ours is no longer the clipboard.
        F->Items.clear();
        return true;
    default: return E.xany.window == F->Win;
    }
}
