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
    POINT Base; // logical (0, 0) before any origin: the client's or the window's corner
    POINT Org;
    TRectRegion Clip; // window coordinates
    TRectRegion Touched; // what drawing may have changed, marked when given back
    bool Paint = false;
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

TPixelBuffer& EnsureBitmap(TWindowObject& Window)
{
    if (!Window.Bitmap)
        Window.Bitmap = std::make_unique<TPixelBuffer>();
    const RECT Area = Window.WindowArea();
    if (Window.Bitmap->Width() != RectWidth(Area) || Window.Bitmap->Height() != RectHeight(Area))
        Window.Bitmap->SetSize(RectWidth(Area), RectHeight(Area));
    return *Window.Bitmap;
}

HDC MakeDC(const TWindowRef& Window, bool WholeWindow, const TRectRegion& Clip, bool Paint)
{
    auto Context = std::make_shared<TDeviceContext>();
    Context->Window = Window;
    Context->Base = WholeWindow ? POINT {} : POINT { Window->Client.left, Window->Client.top };
    Context->Clip = Clip;
    Context->Touched = Clip;
    Context->Paint = Paint;
    EnsureBitmap(*Window);
    return AddDC(std::move(Context));
}

RECT ToWindow(const TDeviceContext& Dc, RECT R)
{
    return RectOffset(R, Dc.Base.x - Dc.Org.x, Dc.Base.y - Dc.Org.y);
}

void ComposeInto(TPixelBuffer& Picture, TWindowObject& Window, POINT Origin, const RECT& Clip)
{
    if (RectEmpty(Clip))
        return;
    CopyPixels(EnsureBitmap(Window), RectOffset(Clip, -Origin.x, -Origin.y), Picture, Clip.left, Clip.top);
    const RECT ClientClip = RectIntersection(Clip, RectOffset(Window.Client, Origin.x, Origin.y));
    if (RectEmpty(ClientClip))
        return;
    for (const TWindowRef& Child : Window.Children) {
        if (!Child->Visible())
            continue;
        const RECT Area = RectOffset(Child->Rect, Origin.x + Window.Client.left, Origin.y + Window.Client.top);
        ComposeInto(Picture, *Child, { Area.left, Area.top }, RectIntersection(Area, ClientClip));
    }
}

void Compose(const TWindowRef& Top)
{
    if (Top->Dirty.Empty())
        return;
    TRectRegion Changed;
    Changed.Include(Top->Dirty);
    Top->Dirty.Clear();
    if (!Top->Picture)
        Top->Picture = std::make_unique<TPixelBuffer>();
    const RECT Area = Top->WindowArea();
    Top->Picture->SetSize(RectWidth(Area), RectHeight(Area));
    Changed.IntersectWith(Area);
    for (const RECT& R : Changed.Rects())
        ComposeInto(*Top->Picture, *Top, {}, R);
    if (Top->HasSurface && Top->Visible() && !Changed.Empty())
        Presenter().Update(Top->Handle, Changed.Bounds(), *Top->Picture);
}

void PaintNow(const TWindowRef& Window, bool Children)
{
    if (!Window->Update.Empty() && ReallyVisible(*Window))
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
    TWindowRef Top = TopLevelOf(Window);
    Top->Dirty.Include(R);
    if (auto Queue = Top->Queue.lock())
        Queue->NeedCompose[reinterpret_cast<std::uintptr_t>(Top->Handle)] = Top;
}

void InvalidateWindow(const TWindowRef& Window, const RECT& Area, bool Erase)
{
    const RECT R = RectIntersection(Area, Window->WindowArea());
    if (RectEmpty(R))
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
    return Window ? MakeDC(Window, false, TRectRegion(Window->Client), false) : nullptr;
}

HDC GetWindowDC(HWND Wnd)
{
    TWindowRef Window = OwnWindow(Wnd);
    return Window ? MakeDC(Window, true, TRectRegion(Window->WindowArea()), false) : nullptr;
}

Integer ReleaseDC(HWND Wnd, HDC Dc)
{
    std::shared_ptr<TDeviceContext> Context = TakeDC(Dc);
    if (!Context)
        return 0;
    if (Context->Window->Alive)
        for (const RECT& R : Context->Touched.Rects())
            MarkChanged(Context->Window, R);
    return 1;
}

HDC BeginPaint(HWND Wnd, PAINTSTRUCT* Paint)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window || !Paint)
        return nullptr;
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
    HDC Dc = MakeDC(Window, false, Region, true);
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
    Context->Clip.IntersectWith(ToWindow(*Context, { Left, Top, Right, Bottom }));
    return ClipAnswer(Context->Clip);
}

Integer ExcludeClipRect(HDC Dc, Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    auto Context = FindDC(Dc);
    if (!Context)
        return ClipError;
    Context->Clip.Exclude(ToWindow(*Context, { Left, Top, Right, Bottom }));
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
    Surface.Bitmap = &EnsureBitmap(*Context->Window);
    Surface.Offset = { Context->Base.x - Context->Org.x, Context->Base.y - Context->Org.y };
    Surface.Clip = Context->Clip.Rects();
    return true;
}

bool GetWindowPicture(HWND Wnd, TPixelBuffer& Picture)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    const RECT Area = Window->WindowArea();
    Picture.SetSize(RectWidth(Area), RectHeight(Area));
    ComposeInto(Picture, *Window, {}, Area);
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
