#include "win/Cursors.h"
#include "win/Monitors.h"
#include "win/Presenter.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <gtest/gtest.h>

namespace {

// Two adapters: a 96-DPI primary monitor on the left; a 144-DPI monitor
// to its right and a third one below it share the second adapter.
class Monitors : public testing::Test {
protected:
    void SetUp() override
    {
        TMonitorDesc Left { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1040 }, 96, 96, true, u"Left panel", 0, u"Card A" };
        TMonitorDesc Right { { 1920, 0, 4480, 1440 }, { 1920, 0, 4480, 1440 }, 144, 144, false, u"Right panel", 1,
            u"Card B" };
        TMonitorDesc Below { { 1920, 1440, 3840, 2520 }, { 1920, 1440, 3840, 2520 }, 96, 96, false, u"Low panel", 1,
            u"Card B" };
        Screen.SetMonitors({ Left, Right, Below });
    }
    static Integer Index(HMONITOR M) { return Integer(reinterpret_cast<std::uintptr_t>(M)) - 1; }

    THeadlessPresenter Screen;
};

}

TEST_F(Monitors, PointsRectanglesAndWindowsFindTheirMonitor)
{
    struct {
        POINT Point;
        DWORD Flags;
        Integer Expected;
    } Points[] = {
        { { 10, 10 }, MONITOR_DEFAULTTONULL, 0 }, { { 1920, 0 }, MONITOR_DEFAULTTONULL, 1 },
        { { 2000, 2000 }, MONITOR_DEFAULTTONULL, 2 }, { { 100, 2000 }, MONITOR_DEFAULTTONULL, -1 },
        { { 100, 2000 }, MONITOR_DEFAULTTOPRIMARY, 0 }, { { 1800, 2400 }, MONITOR_DEFAULTTONEAREST, 2 },
        { { -50, 500 }, MONITOR_DEFAULTTONEAREST | 0x80, 0 }, // only the low 7 bits count
    };
    for (const auto& P : Points)
        EXPECT_EQ(Index(MonitorFromPoint(P.Point, P.Flags)), P.Expected) << P.Point.x << "," << P.Point.y;

    // Most of the rectangle lies on the right monitor.
    EXPECT_EQ(Index(MonitorFromRect({ 1800, 100, 2400, 300 }, MONITOR_DEFAULTTONULL)), 1);

    HWND Wnd = CreateHiddenWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_EQ(MonitorFromWindow(Wnd, MONITOR_DEFAULTTONULL), nullptr); // never placed
    EXPECT_EQ(Index(MonitorFromWindow(Wnd, MONITOR_DEFAULTTOPRIMARY)), 0);
    ASSERT_TRUE(MoveWindow(Wnd, 2000, 1500, 300, 200, false));
    EXPECT_EQ(Index(MonitorFromWindow(Wnd, MONITOR_DEFAULTTONULL)), 2);
    DestroyWindow(Wnd);
    EXPECT_FALSE(MoveWindow(Wnd, 0, 0, 1, 1, false));
}

TEST_F(Monitors, InfoDpiAndDevices)
{
    const std::vector<HMONITOR> All = EnumDisplayMonitors();
    ASSERT_EQ(All.size(), 3u);
    MONITORINFOEX Info;
    ASSERT_TRUE(GetMonitorInfo(All[0], &Info));
    EXPECT_EQ(Info.dwFlags, MONITORINFOF_PRIMARY);
    EXPECT_EQ(Info.rcWork.bottom, 1040);
    ASSERT_TRUE(GetMonitorInfo(All[2], &Info));
    EXPECT_EQ(Info.szDevice, u"\\\\.\\DISPLAY2");
    EXPECT_FALSE(GetMonitorInfo(reinterpret_cast<HMONITOR>(4), &Info));

    UINT X = 0, Y = 0;
    ASSERT_EQ(GetDpiForMonitor(All[1], MDT_EFFECTIVE_DPI, &X, &Y), S_OK);
    EXPECT_EQ(Y, 144u);
    EXPECT_NE(GetDpiForMonitor(nullptr, MDT_EFFECTIVE_DPI, &X, &Y), S_OK);

    DISPLAY_DEVICE Device;
    ASSERT_TRUE(EnumDisplayDevices(u"", 1, &Device, 0));
    EXPECT_EQ(Device.DeviceString, u"Card B");
    EXPECT_EQ(Device.StateFlags, DISPLAY_DEVICE_ATTACHED_TO_DESKTOP);
    const String Adapter = Device.DeviceName;
    ASSERT_TRUE(EnumDisplayDevices(Adapter, 1, &Device, 0));
    EXPECT_EQ(Device.DeviceString, u"Low panel");
    EXPECT_FALSE(EnumDisplayDevices(Adapter, 2, &Device, 0));
    EXPECT_FALSE(EnumDisplayDevices(u"", 2, &Device, 0));
    ASSERT_TRUE(EnumDisplayDevices(u"", 0, &Device, 0));
    EXPECT_EQ(Device.StateFlags, DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | DISPLAY_DEVICE_PRIMARY_DEVICE);
}

TEST(Presenting, WindowStatesAndCursorsGoThroughThePresenter)
{
    THeadlessPresenter Screen;
    HWND Wnd = CreateHiddenWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_FALSE(ShowWindow(Wnd, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(Wnd));
    ShowWindow(Wnd, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(Wnd));
    ShowWindow(Wnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(Wnd));
    EXPECT_TRUE(SetForegroundWindow(Wnd));
    EXPECT_EQ(GetForegroundWindow(), Wnd);
    DestroyWindow(Wnd);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_FALSE(IsIconic(Wnd));

    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    EXPECT_EQ(Screen.CursorShape(), XC_watch);
    SetCursor(CreateFontCursor(XC_hand2));
    EXPECT_EQ(Screen.CursorShape(), XC_hand2);
    SetCursor(nullptr);
    EXPECT_EQ(Screen.CursorShape(), XC_left_ptr);
    EXPECT_EQ(LoadCursor(nullptr, 12345), nullptr);
    EXPECT_EQ(CreateFontCursor(XC_num_glyphs), nullptr);
}
