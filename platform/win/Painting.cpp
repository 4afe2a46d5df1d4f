#include "win/Painting.h"
#include "win/MessageQueue.h"
#include "win/Presenter.h"
#include "win/WindowPlacement.h"
#include <algorithm>
#include <map>

using namespace WinDetail;

namespace {

struct TDeviceContext {
    TWindowRef Window;
    TWindowRef Top; // whose store it draws on; null while a capture paints
    std::shared_ptr<TPixelBuffer> Store;
    POINT Base; // logical (0, 0) before any origin, in the store: the client's or the window's corner
    POINT Org;
    TRectRegion Clip; // store coordinates, never more than the window shows
    TRectRegion Touched; // what drawing may have changed, marked when given back
    std::vector<std::pair<POINT, TRectRegion>> Saved;
};

struct TContexts {
    std::mutex Lock;
    std::map<std::uintptr_t, std::shared_ptr<TDeviceContext>> Map;
    std::uintptr_t Next = 0x20000;
};

TContexts& Contexts()
{
    static auto* Instance = new TContexts;
    return *Instance;
}

std::shared_ptr<TDeviceContext> FindDC(HDC Dc)
{
    std::lock_guard Guard(Contexts().Lock);
    auto It = Contexts().Map.find(reinterpret_cast<std::uintptr_t>(Dc));
    return It == Contexts().Map.end() ? nullptr : It->second;
}

HDC AddDC(std::shared_ptr<TDeviceContext> Context)
{
    std::lock_guard Guard(Contexts().Lock);
    const std::uintptr_t Handle = Contexts().Next;
    Contexts().Next += 4;
    Contexts().Map[Handle] = std::move(Context);
    return reinterpret_cast<HDC>(Handle);
}

std::shared_ptr<TDeviceContext> TakeDC(HDC Dc)
{
    std::lock_guard Guard(Contexts().Lock);
    auto It = Contexts().Map.find(reinterpret_cast<std::uintptr_t>(Dc));
    if (It == Contexts().Map.end())
        return nullptr;
    auto Context = It->second;
    Contexts().Map.erase(It);
    return Context;
}

// A window painted into a picture of its own (the capture of a window the
// screen does not show whole): while it lasts, it and its descendants
// paint there, whole, and their update regions stay as they are.
struct TCapture {
    const TWindowObject* Root = nullptr;
    std::shared_ptr<TPixelBuffer> Picture;
};

TCapture& ActiveCapture()
{
    thread_local TCapture Capture;
    return Capture;
}

const std::shared_ptr<TPixelBuffer>& StoreOf(TWindowObject& Top)
{
    if (!Top.Store)
        Top.Store = std::make_shared<TPixelBuffer>();
    const RECT Area = Top.WindowArea();
    if (Top.Store->Width() != RectWidth(Area) || Top.Store->Height() != RectHeight(Area))
        Top.Store->SetSize(RectWidth(Area), RectHeight(Area));
    return Top.Store;
}

POINT Shifted(POINT P, LONG Dx, LONG Dy)
{
    return { P.x + Dx, P.y + Dy };
}

// Where a window lies in the store it paints into, and what of it shows
// there: cut to every ancestor's client area, with the siblings above it
// (its own and its ancestors') cut away, and its visible children too
// unless WithChildren.
struct TStorePlace {
    TWindowRef Top; // the store's window; null for a capture
    std::shared_ptr<TPixelBuffer> Store;
    POINT Origin {}; // the window's top-left corner in the store
    TRectRegion Visible; // store coordinates
};

TStorePlace PlaceInStore(const TWindowRef& Window, bool WithChildren)
{
    TStorePlace Place;
    const TCapture& Capture = ActiveCapture();
    // The window and its ancestors up to the store's window.
    std::vector<TWindowRef> Chain { Window };
    bool Captured = false;
    for (;;) {
        const TWindowRef& W = Chain.back();
        if (W.get() == Capture.Root) {
            Captured = true;
            break;
        }
        if (!W->Parent)
            break;
        TWindowRef Up = ParentOf(*W);
        if (!Up) {
            Place.Store = std::make_shared<TPixelBuffer>(); // an orphan shows nowhere
            return Place;
        }
        Chain.push_back(std::move(Up));
    }
    const TWindowRef& Root = Chain.back();
    if (Captured) {
        Place.Store = Capture.Picture;
    } else {
        Place.Top = Root;
        Place.Store = StoreOf(*Root);
    }
    // A capture paints its window even when hidden; below it, and for the
    // screen, only what is shown.
    for (const TWindowRef& W : Chain)
        if (!W->Alive || (!W->Visible() && !(Captured && W == Root)))
            return Place;

    std::vector<POINT> Origins(Chain.size());
    for (size_t I = Chain.size() - 1; I-- > 0;)
        Origins[I] = Shifted(Origins[I + 1], Chain[I + 1]->Client.left + Chain[I]->Rect.left,
            Chain[I + 1]->Client.top + Chain[I]->Rect.top);
    Place.Origin = Origins[0];
    Place.Visible = TRectRegion::Exact(RectOffset(Window->WindowArea(), Place.Origin.x, Place.Origin.y));
    for (size_t I = 0; I + 1 < Chain.size() && !Place.Visible.Empty(); ++I) {
        const TWindowObject& Parent = *Chain[I + 1];
        const POINT ClientAt = Shifted(Origins[I + 1], Parent.Client.left, Parent.Client.top);
        Place.Visible.IntersectWith(RectOffset(Parent.Client, Origins[I + 1].x, Origins[I + 1].y));
        auto Self = std::find(Parent.Children.begin(), Parent.Children.end(), Chain[I]);
        for (auto It = Self == Parent.Children.end() ? Self : Self + 1; It != Parent.Children.end(); ++It)
            if ((*It)->Alive && (*It)->Visible())
                Place.Visible.Exclude(RectOffset((*It)->Rect, ClientAt.x, ClientAt.y));
    }
    Place.Visible.IntersectWith(Root->WindowArea());
    if (!WithChildren) {
        const RECT Client = RectOffset(Window->Client, Place.Origin.x, Place.Origin.y);
        const POINT ClientAt { Client.left, Client.top };
        for (const TWindowRef& Child : Window->Children)
            if (Child->Alive && Child->Visible())
                Place.Visible.Exclude(RectIntersection(RectOffset(Child->Rect, ClientAt.x, ClientAt.y), Client));
    }
    return Place;
}

void MarkStoreChanged(const TWindowRef& Top, const TRectRegion& Area)
{
    if (Area.Empty())
        return;
    Top->Dirty.Include(Area);
    if (auto Queue = Top->Queue.lock())
        Queue->NeedCompose[reinterpret_cast<std::uintptr_t>(Top->Handle)] = Top;
}

// A context on the part of the window the screen shows (its client area,
// or the whole window), cut to Limit (window coordinates) when given.
HDC MakeDC(const TWindowRef& Window, bool WholeWindow, const TRectRegion* Limit)
{
    TStorePlace Place = PlaceInStore(Window, false);
    auto Context = std::make_shared<TDeviceContext>();
    Context->Window = Window;
    Context->Top = std::move(Place.Top);
    Context->Store = std::move(Place.Store);
    const RECT Area = WholeWindow ? Window->WindowArea() : Window->Client;
    Context->Base = Shifted(Place.Origin, Area.left, Area.top);
    Context->Clip = std::move(Place.Visible);
    Context->Clip.IntersectWith(RectOffset(Area, Place.Origin.x, Place.Origin.y));
    if (Limit) {
        TRectRegion InStore = *Limit;
        InStore.Offset(Place.Origin.x, Place.Origin.y);
        Context->Clip.IntersectWith(InStore);
    }
    Context->Touched = Context->Clip;
    return AddDC(std::move(Context));
}

RECT ToStore(const TDeviceContext& Dc, RECT R)
{
    return RectOffset(R, Dc.Base.x - Dc.Org.x, Dc.Base.y - Dc.Org.y);
}

bool InCapture(const TWindowRef& Window)
{
    const TWindowObject* Root = ActiveCapture().Root;
    if (!Root)
        return false;
    for (TWindowRef W = Window; W; W = ParentOf(*W))
        if (W.get() == Root)
            return true;
    return false;
}

void PaintCaptured(const TWindowRef& Window)
{
    SendMessage(Window->Handle, WM_PAINT, 0, 0);
    if (!Window->Alive)
        return;
    const std::vector<TWindowRef> List = Window->Children;
    for (const TWindowRef& Child : List)
        if (Child->Alive && Child->Visible())
            PaintCaptured(Child);
}

// Paints the window and its descendants, whole, into a picture of its own.
void Capture(const TWindowRef& Window, TPixelBuffer& Picture)
{
    auto Buffer = std::make_shared<TPixelBuffer>(RectWidth(Window->Rect), RectHeight(Window->Rect));
    struct TRestore {
        TCapture Saved = ActiveCapture();
        ~TRestore() { ActiveCapture() = std::move(Saved); }
    } Restore;
    ActiveCapture() = { Window.get(), Buffer };
    PaintCaptured(Window);
    Picture = std::move(*Buffer);
}

bool ShowsWhole(const TStorePlace& Place, const RECT& Area)
{
    if (!Place.Top)
        return false;
    TRectRegion Rest = TRectRegion::Exact(RectOffset(Area, Place.Origin.x, Place.Origin.y));
    for (const RECT& R : Place.Visible.Rects())
        Rest.Exclude(R);
    return Rest.Empty();
}

void CopyOut(const TPixelBuffer& Store, const RECT& Area, TPixelBuffer& Picture)
{
    Picture.SetSize(RectWidth(Area), RectHeight(Area));
    CopyPixels(Store, Area, Picture, 0, 0);
}

void Compose(const TWindowRef& Top)
{
    if (Top->Dirty.Empty())
        return;
    TRectRegion Changed;
    Changed.Include(Top->Dirty);
    Top->Dirty.Clear();
    Changed.IntersectWith(Top->WindowArea());
    if (Top->HasSurface && Top->Visible() && !Changed.Empty())
        Presenter().Update(Top->Handle, Changed.Bounds(), *StoreOf(*Top));
}

void PaintNow(const TWindowRef& Window, bool Children)
{
    if (!Window->Update.Empty() && ReallyVisible(*Window) && !WhollyClipped(Window))
        SendMessage(Window->Handle, WM_PAINT, 0, 0);
    if (!Children || !Window->Alive)
        return;
    const std::vector<TWindowRef> List = Window->Children;
    for (const TWindowRef& Child : List)
        if (Child->Alive)
            PaintNow(Child, true);
}

void Redraw(const TWindowRef& Window, const RECT* Rect, UINT Flags)
{
    // Rect is in client coordinates; without one the client area, or the
    // whole window with RDW_FRAME.
    RECT Area = (Flags & RDW_FRAME) && !Rect ? Window->WindowArea() : Window->Client;
    if (Rect)
        Area = RectIntersection(RectOffset(*Rect, Window->Client.left, Window->Client.top), Window->WindowArea());
    if (Flags & RDW_INVALIDATE)
        InvalidateWindow(Window, Area, (Flags & RDW_ERASE) != 0);
    if (Flags & RDW_VALIDATE) {
        Window->Update.Exclude(Area);
        if (Window->Update.Empty())
            Window->Erase = false;
    }
    if (Flags & RDW_ALLCHILDREN) {
        const std::vector<TWindowRef> List = Window->Children;
        for (const TWindowRef& Child : List) {
            // The part of the area the child covers, in its own client coordinates.
            const RECT InParent = RectOffset(Area, -Window->Client.left, -Window->Client.top);
            RECT Part = RectIntersection(InParent, Child->Rect);
            if (RectEmpty(Part))
                continue;
            Part = RectOffset(Part, -Child->Rect.left - Child->Client.left, -Child->Rect.top - Child->Client.top);
            Redraw(Child, &Part, Flags | RDW_FRAME);
        }
    }
}

// BeginPaint of a window being captured: the whole window, its frame and
// background first, and its update region left for the screen.
HDC BeginCapturedPaint(const TWindowRef& Window, PAINTSTRUCT* Paint)
{
    const RECT Area = Window->WindowArea();
    if (!EqualRect(&Window->Client, &Area)) {
        SendMessage(Window->Handle, WM_NCPAINT, 1, 0);
        if (!Window->Alive)
            return nullptr;
    }
    HDC Dc = MakeDC(Window, false, nullptr);
    Paint->hdc = Dc;
    Paint->rcPaint = { 0, 0, RectWidth(Window->Client), RectHeight(Window->Client) };
    Paint->fErase = SendMessage(Window->Handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(Dc), 0) == 0;
    return Dc;
}

}

namespace WinDetail {

RECT AreaInTopLevel(const TWindowRef& Window, const RECT& Area)
{
    RECT R = RectIntersection(Area, Window->WindowArea());
    const TWindowObject* W = Window.get();
    TWindowRef Up;
    while (!RectEmpty(R) && W->Parent) {
        Up = ParentOf(*W);
        if (!Up)
            return {};
        R = RectOffset(R, W->Rect.left, W->Rect.top);
        R = RectIntersection(R, { 0, 0, RectWidth(Up->Client), RectHeight(Up->Client) });
        R = RectOffset(R, Up->Client.left, Up->Client.top);
        W = Up.get();
    }
    return R;
}

void MarkChanged(const TWindowRef& Window, const RECT& Area)
{
    const RECT R = AreaInTopLevel(Window, Area);
    if (RectEmpty(R))
        return;
    MarkStoreChanged(TopLevelOf(Window), TRectRegion(R));
}

void InvalidateTree(const TWindowRef& Window)
{
    Redraw(Window, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void ExposeInParent(const TWindowRef& Window, const RECT& Area)
{
    if (TWindowRef Parent = ParentOf(*Window))
        Redraw(Parent, &Area, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool WhollyClipped(const TWindowRef& Window)
{
    return RectEmpty(AreaInTopLevel(Window, Window->WindowArea()));
}

void InvalidateWindow(const TWindowRef& Window, const RECT& Area, bool Erase)
{
    const RECT R = RectIntersection(Area, Window->WindowArea());
    // A window outside its parents' client areas (a panel scrolled out of
    // sight) has nothing to paint; coming back into view invalidates it.
    if (RectEmpty(R) || WhollyClipped(Window))
        return;
    Window->Update.Include(R);
    Window->Erase = Window->Erase || Erase;
    if (auto Queue = Window->Queue.lock())
        Queue->NeedPaint[reinterpret_cast<std::uintptr_t>(Window->Handle)] = Window;
}

HWND NextPaintWindow(TThreadQueue& Queue, HWND Wnd, UINT Min, UINT Max)
{
    for (auto It = Queue.NeedPaint.begin(); It != Queue.NeedPaint.end();) {
        TWindowRef Window = It->second.lock();
        if (Window && Window->Alive && !Window->Update.Empty() && WhollyClipped(Window)) {
            // Moved out of sight since it was invalidated.
            Window->Update.Clear();
            Window->Erase = false;
        }
        if (!Window || !Window->Alive || Window->Update.Empty()) {
            It = Queue.NeedPaint.erase(It);
            continue;
        }
        if (ReallyVisible(*Window) && MatchesFilter(Window->Handle, WM_PAINT, Wnd, Min, Max))
            return Window->Handle;
        ++It;
    }
    return nullptr;
}

void WindowGone(const TWindowRef& Window)
{
    const auto Key = reinterpret_cast<std::uintptr_t>(Window->Handle);
    if (auto Queue = Window->Queue.lock()) {
        Queue->NeedPaint.erase(Key);
        Queue->NeedCompose.erase(Key);
        InputWindowGone(*Queue, Window->Handle);
    }
    HotKeysWindowGone(Window->Handle);
    if (Window->HasSurface) {
        Window->HasSurface = false;
        Presenter().DestroySurface(Window->Handle);
    }
}

void EnsureSurface(const TWindowRef& Window)
{
    if (Window->Parent || Window->HasSurface || RectEmpty(Window->Rect))
        return;
    TSurfaceDesc Desc;
    Desc.Bounds = Window->Rect;
    Desc.Style = DWORD(Window->Style.load());
    Desc.ExStyle = DWORD(Window->ExStyle.load());
    Desc.Title = GetWindowText(Window->Handle);
    Desc.Owner = Window->Owner;
    Presenter().CreateSurface(Window->Handle, Desc);
    Window->HasSurface = true;
    if (Window->Alpha != 255)
        Presenter().SetOpacity(Window->Handle, Window->Alpha);
    if (Window->IconPicture)
        Presenter().SetIcon(Window->Handle, *Window->IconPicture);
    MarkChanged(Window, Window->WindowArea());
}

}

bool InvalidateRect(HWND Wnd, const RECT* Rect, bool Erase)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    InvalidateWindow(Window, Rect ? RectOffset(*Rect, Window->Client.left, Window->Client.top) : Window->Client, Erase);
    return true;
}

bool ValidateRect(HWND Wnd, const RECT* Rect)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    Redraw(Window, Rect, RDW_VALIDATE | (Rect ? 0 : RDW_FRAME));
    return true;
}

bool GetUpdateRect(HWND Wnd, RECT* Rect, bool Erase)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    TRectRegion Client = Window->Update;
    Client.IntersectWith(Window->Client);
    if (Rect)
        *Rect = Client.Empty() ? RECT {} : RectOffset(Client.Bounds(), -Window->Client.left, -Window->Client.top);
    return !Window->Update.Empty();
}

bool UpdateWindow(HWND Wnd)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    PaintNow(Window, false);
    FlushWindowPictures();
    return true;
}

bool RedrawWindow(HWND Wnd, const RECT* Rect, UINT Flags)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    Redraw(Window, Rect, Flags);
    if (Flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
        PaintNow(Window, (Flags & RDW_ALLCHILDREN) != 0);
        FlushWindowPictures();
    }
    return true;
}

HDC GetDC(HWND Wnd)
{
    TWindowRef Window = OwnWindow(Wnd);
    return Window ? MakeDC(Window, false, nullptr) : nullptr;
}

HDC GetWindowDC(HWND Wnd)
{
    TWindowRef Window = OwnWindow(Wnd);
    return Window ? MakeDC(Window, true, nullptr) : nullptr;
}

Integer ReleaseDC(HWND Wnd, HDC Dc)
{
    std::shared_ptr<TDeviceContext> Context = TakeDC(Dc);
    if (!Context)
        return 0;
    if (Context->Top && Context->Top->Alive)
        MarkStoreChanged(Context->Top, Context->Touched);
    return 1;
}

HDC BeginPaint(HWND Wnd, PAINTSTRUCT* Paint)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window || !Paint)
        return nullptr;
    if (InCapture(Window))
        return BeginCapturedPaint(Window, Paint);
    TRectRegion Region = Window->Update;
    const bool Erase = Window->Erase;
    Window->Update.Clear();
    Window->Erase = false;
    if (auto Queue = Window->Queue.lock())
        Queue->NeedPaint.erase(reinterpret_cast<std::uintptr_t>(Wnd));

    TRectRegion Frame = Region;
    Frame.Exclude(Window->Client);
    if (!Frame.Empty()) {
        SendMessage(Wnd, WM_NCPAINT, 1, 0);
        if (!Window->Alive)
            return nullptr;
    }
    Region.IntersectWith(Window->Client);
    HDC Dc = MakeDC(Window, false, &Region);
    Paint->hdc = Dc;
    Paint->rcPaint = Region.Empty() ? RECT {} : RectOffset(Region.Bounds(), -Window->Client.left, -Window->Client.top);
    Paint->fErase = false;
    if (Erase && !Region.Empty())
        Paint->fErase = SendMessage(Wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(Dc), 0) == 0;
    return Dc;
}

bool EndPaint(HWND Wnd, const PAINTSTRUCT* Paint)
{
    return Paint && ReleaseDC(Wnd, Paint->hdc) != 0;
}

HWND WindowFromDC(HDC Dc)
{
    auto Context = FindDC(Dc);
    return Context ? Context->Window->Handle : nullptr;
}

bool SetWindowOrgEx(HDC Dc, Integer X, Integer Y, POINT* Old)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return false;
    if (Old)
        *Old = Context->Org;
    Context->Org = { X, Y };
    return true;
}

bool GetWindowOrgEx(HDC Dc, POINT* Org)
{
    auto Context = FindDC(Dc);
    if (!Context || !Org)
        return false;
    *Org = Context->Org;
    return true;
}

namespace {

// The region kinds of the picture layer, which this layer cannot name.
constexpr Integer ClipError = 0, ClipNull = 1, ClipSimple = 2, ClipComplex = 3;

Integer ClipAnswer(const TRectRegion& Clip)
{
    return Clip.Empty() ? ClipNull : Clip.Rects().size() == 1 ? ClipSimple : ClipComplex;
}

}

Integer IntersectClipRect(HDC Dc, Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return ClipError;
    Context->Clip.IntersectWith(ToStore(*Context, { Left, Top, Right, Bottom }));
    return ClipAnswer(Context->Clip);
}

Integer ExcludeClipRect(HDC Dc, Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return ClipError;
    Context->Clip.Exclude(ToStore(*Context, { Left, Top, Right, Bottom }));
    return ClipAnswer(Context->Clip);
}

Integer GetClipBox(HDC Dc, RECT* Rect)
{
    auto Context = FindDC(Dc);
    if (!Context || !Rect)
        return ClipError;
    const RECT B = Context->Clip.Bounds();
    *Rect = RectEmpty(B) ? RECT {} : RectOffset(B, Context->Org.x - Context->Base.x, Context->Org.y - Context->Base.y);
    return ClipAnswer(Context->Clip);
}

Integer SaveDC(HDC Dc)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return 0;
    Context->Saved.emplace_back(Context->Org, Context->Clip);
    return Integer(Context->Saved.size());
}

bool RestoreDC(HDC Dc, Integer Saved)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return false;
    const Integer Count = Integer(Context->Saved.size());
    const Integer Index = Saved < 0 ? Count + Saved : Saved - 1;
    if (Index < 0 || Index >= Count)
        return false;
    Context->Org = Context->Saved[size_t(Index)].first;
    Context->Clip = Context->Saved[size_t(Index)].second;
    Context->Saved.resize(size_t(Index));
    return true;
}

bool GetDCSurface(HDC Dc, TDCSurface& Surface)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return false;
    Surface.Bitmap = Context->Store.get();
    Surface.Offset = { Context->Base.x - Context->Org.x, Context->Base.y - Context->Org.y };
    // The store may have shrunk with its window since the context was made.
    TRectRegion Clip = Context->Clip;
    Clip.IntersectWith(RECT { 0, 0, Surface.Bitmap->Width(), Surface.Bitmap->Height() });
    Surface.Clip = Clip.Rects();
    return true;
}

bool GetWindowPicture(HWND Wnd, TPixelBuffer& Picture)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    // What the screen shows of the window is taken from the store; a window
    // it does not show whole paints into a picture of its own.
    const TStorePlace Place = PlaceInStore(Window, true);
    const RECT Area = Window->WindowArea();
    if (ShowsWhole(Place, Area))
        CopyOut(*Place.Store, RectOffset(Area, Place.Origin.x, Place.Origin.y), Picture);
    else if (!Window->Parent && !InCapture(Window))
        CopyOut(*StoreOf(*Window), Area, Picture);
    else
        Capture(Window, Picture);
    return true;
}

void FlushWindowPictures()
{
    const TQueueRef& Queue = CurrentQueue();
    while (!Queue->NeedCompose.empty()) {
        auto It = Queue->NeedCompose.begin();
        TWindowRef Top = It->second.lock();
        Queue->NeedCompose.erase(It);
        if (Top && Top->Alive)
            Compose(Top);
    }
}

namespace {

// Moves the pixels of the store's rectangles From (store coordinates) by
// (Dx, Dy); every source is read before anything is written, so pieces
// may overlap each other's sources.
void MovePixels(TPixelBuffer& Store, const std::vector<RECT>& To, LONG Dx, LONG Dy)
{
    std::vector<TPixelBuffer> Pieces(To.size());
    for (size_t I = 0; I < To.size(); ++I) {
        Pieces[I].SetSize(RectWidth(To[I]), RectHeight(To[I]));
        CopyPixels(Store, RectOffset(To[I], -Dx, -Dy), Pieces[I], 0, 0);
    }
    for (size_t I = 0; I < To.size(); ++I)
        CopyPixels(Pieces[I], { 0, 0, Pieces[I].Width(), Pieces[I].Height() }, Store, To[I].left, To[I].top);
}

// Moves the children a scroll takes along; answers the parts of the
// client area (client coordinates) they covered before or cover now.
TRectRegion ScrollChildren(const TWindowRef& Window, const RECT* Scroll, const RECT& Area, LONG Dx, LONG Dy)
{
    TRectRegion Covered;
    const RECT Client { 0, 0, RectWidth(Window->Client), RectHeight(Window->Client) };
    std::vector<TWindowRef> Moved;
    for (const TWindowRef& Child : Window->Children) {
        if (!Child->Alive || (Scroll && RectEmpty(RectIntersection(Child->Rect, Area))))
            continue;
        Covered.Include(RectIntersection(Child->Rect, Client));
        // Far moves stop at the edge of the coordinates rather than wrap.
        const LONG X = LONG(std::clamp<Int64>(Dx, Int64(INT32_MIN) - Child->Rect.left, Int64(INT32_MAX) - Child->Rect.right));
        const LONG Y = LONG(std::clamp<Int64>(Dy, Int64(INT32_MIN) - Child->Rect.top, Int64(INT32_MAX) - Child->Rect.bottom));
        Child->Rect = RectOffset(Child->Rect, X, Y);
        Covered.Include(RectIntersection(Child->Rect, Client));
        Moved.push_back(Child);
    }
    for (const TWindowRef& Child : Moved) {
        if (!Child->Alive)
            continue;
        WINDOWPOS Pos { Child->Handle, nullptr, Child->Rect.left, Child->Rect.top, RectWidth(Child->Rect),
            RectHeight(Child->Rect), SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE };
        SendMessage(Child->Handle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&Pos));
    }
    return Covered;
}

}

Integer ScrollWindowEx(HWND Wnd, Integer Dx, Integer Dy, const RECT* Scroll, const RECT* Clip, RECT* Update, UINT Flags)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return ClipError;
    const bool Children = (Flags & SW_SCROLLCHILDREN) != 0;
    const RECT Client { 0, 0, RectWidth(Window->Client), RectHeight(Window->Client) };
    const RECT Area = Scroll ? RectIntersection(*Scroll, Client) : Client;
    const RECT Target = RectIntersection(Area, Clip ? RectIntersection(*Clip, Client) : Client);
    // A move beyond the client area keeps no pixel, as one just past it.
    const LONG PixelDx = std::clamp<LONG>(Dx, -Client.right - 1, Client.right + 1);
    const LONG PixelDy = std::clamp<LONG>(Dy, -Client.bottom - 1, Client.bottom + 1);

    // What shows of the area, in client coordinates, and the part of it
    // whose pixels are still good after the move.
    TStorePlace Place = PlaceInStore(Window, Children);
    const POINT ClientAt = Shifted(Place.Origin, Window->Client.left, Window->Client.top);
    TRectRegion Shown = std::move(Place.Visible);
    Shown.Offset(-ClientAt.x, -ClientAt.y);
    Shown.IntersectWith(Area);
    TRectRegion Kept = Shown;
    Kept.Offset(PixelDx, PixelDy);
    Kept.IntersectWith(Shown);
    Kept.IntersectWith(Target);
    if (!Kept.Empty()) {
        TRectRegion InStore = Kept;
        InStore.Offset(ClientAt.x, ClientAt.y);
        MovePixels(*Place.Store, InStore.Rects(), PixelDx, PixelDy);
        if (Place.Top)
            MarkStoreChanged(Place.Top, InStore);
    }

    // What waited to be painted in the area moves with its pixels.
    const RECT AreaInWindow = RectOffset(Area, Window->Client.left, Window->Client.top);
    TRectRegion Pending = Window->Update;
    Pending.IntersectWith(AreaInWindow);
    if (!Pending.Empty()) {
        Window->Update.Exclude(AreaInWindow);
        Pending.Offset(PixelDx, PixelDy);
        Pending.IntersectWith(RectOffset(Target, Window->Client.left, Window->Client.top));
        Window->Update.Include(Pending);
        if (Window->Update.Empty())
            Window->Erase = false;
    }

    TRectRegion Uncovered = TRectRegion::Exact(Target);
    if (Children)
        Uncovered.Include(ScrollChildren(Window, Scroll, Area, Dx, Dy));
    for (const RECT& R : Kept.Rects())
        Uncovered.Exclude(R);
    if ((Flags & SW_INVALIDATE) && Window->Alive) {
        const UINT Redo = RDW_INVALIDATE | ((Flags & SW_ERASE) ? RDW_ERASE : 0) | (Children ? RDW_ALLCHILDREN : 0);
        for (const RECT& R : Uncovered.Rects())
            Redraw(Window, &R, Redo);
    }
    if (Update)
        *Update = Uncovered.Empty() ? RECT {} : Uncovered.Bounds();
    return ClipAnswer(Uncovered);
}

bool ScrollWindow(HWND Wnd, Integer Dx, Integer Dy, const RECT* Scroll, const RECT* Clip)
{
    return ScrollWindowEx(Wnd, Dx, Dy, Scroll, Clip, nullptr, SW_INVALIDATE | SW_ERASE | (Scroll ? 0 : SW_SCROLLCHILDREN))
        != ClipError;
}
