// Windows for the window-tree tests: each records what reaches it and may
// answer messages through a handler; painting fills the client area with
// the window's colour straight into its bitmap.
#pragma once
#include "win/Input.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include "win/Rects.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace WindowTests {

struct TProbe {
    std::vector<MSG> Log;
    Cardinal Color = 0x00FFFFFF; // painted on WM_PAINT
    // Answers a message first; nullopt lets the probe go on.
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> Handler;
    std::vector<RECT> Painted; // rcPaint of each WM_PAINT

    std::vector<UINT> Messages(std::initializer_list<UINT> Only = {}) const
    {
        std::vector<UINT> Result;
        for (const MSG& M : Log)
            if (Only.size() == 0 || std::find(Only.begin(), Only.end(), M.message) != Only.end())
                Result.push_back(M.message);
        return Result;
    }
    const MSG* Last(UINT Message) const
    {
        for (auto It = Log.rbegin(); It != Log.rend(); ++It)
            if (It->message == Message)
                return &*It;
        return nullptr;
    }
};

// Fills a logical rectangle of a device context, inside its clip area.
inline void FillDC(HDC Dc, RECT R, Cardinal Color)
{
    TDCSurface S;
    if (!GetDCSurface(Dc, S))
        return;
    R = RectOffset(R, S.Offset.x, S.Offset.y);
    for (const RECT& Clip : S.Clip) {
        const RECT Part = RectIntersection(R, Clip);
        for (LONG Y = Part.top; Y < Part.bottom; ++Y)
            for (LONG X = Part.left; X < Part.right; ++X)
                reinterpret_cast<Cardinal*>(S.Bitmap->ScanLine(Y))[X] = Color;
    }
}

inline LRESULT CALLBACK_ProbeProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    auto* Probe = reinterpret_cast<TProbe*>(GetWindowLongPtr(Wnd, GWLP_USERDATA));
    if (!Probe)
        return DefWindowProc(Wnd, Msg, WParam, LParam);
    MSG M;
    M.hwnd = Wnd;
    M.message = Msg;
    M.wParam = WParam;
    M.lParam = LParam;
    Probe->Log.push_back(M);
    if (Probe->Handler)
        if (auto Answer = Probe->Handler(Wnd, Msg, WParam, LParam))
            return *Answer;
    if (Msg == WM_PAINT) {
        PAINTSTRUCT Ps;
        HDC Dc = BeginPaint(Wnd, &Ps);
        Probe->Painted.push_back(Ps.rcPaint);
        RECT Client;
        GetClientRect(Wnd, &Client);
        FillDC(Dc, Client, Probe->Color);
        EndPaint(Wnd, &Ps);
        return 0;
    }
    return DefWindowProc(Wnd, Msg, WParam, LParam);
}

// Windows of the class "WinTestProbe" (double clicks on); their probes live
// as long as the fixture.
class TWindowFixture : public testing::Test {
protected:
    void SetUp() override
    {
        static bool Registered = false;
        if (!Registered) {
            WNDCLASS Class;
            Class.style = CS_DBLCLKS;
            Class.lpfnWndProc = &CALLBACK_ProbeProc;
            Class.lpszClassName = u"WinTestProbe";
            Registered = RegisterClass(Class) != 0;
        }
        Pump();
    }
    void TearDown() override
    {
        // The probes lived in the test body.
        for (HWND W : Made)
            SetWindowLongPtr(W, GWLP_USERDATA, 0);
        for (auto It = Made.rbegin(); It != Made.rend(); ++It)
            DestroyWindow(*It);
        ReleaseCapture();
        Pump();
    }

    HWND Make(TProbe& Probe, DWORD Style, RECT R, HWND Parent = nullptr, DWORD ExStyle = 0)
    {
        HWND Wnd = CreateWindowEx(ExStyle, u"WinTestProbe", u"probe", Style & ~WS_VISIBLE, R.left, R.top,
            R.right - R.left, R.bottom - R.top, Parent);
        SetWindowLongPtr(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Probe));
        if (Style & WS_VISIBLE)
            ShowWindow(Wnd, SW_SHOWNORMAL);
        Made.push_back(Wnd);
        return Wnd;
    }

    static void Pump()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessage(&Msg);
        }
    }

    static Cardinal PictureAt(HWND Wnd, LONG X, LONG Y)
    {
        TPixelBuffer Picture;
        GetWindowPicture(Wnd, Picture);
        return Picture.Pixel(X, Y) & 0x00FFFFFF;
    }

    THeadlessPresenter Screen;
    TManualClock Clock;
    std::vector<HWND> Made;
};

}
