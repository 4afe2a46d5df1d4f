// A desktop program's window for the tests (a file manager's desktop): a
// window of _NET_WM_WINDOW_TYPE_DESKTOP over the whole screen, kept by a
// connection of its own. Apart from the tests: Xlib's names clash with the
// class library's (Screen, Time).
#pragma once
#include <memory>
#include <string>

class TX11DesktopClient {
public:
    explicit TX11DesktopClient(const std::string& DisplayName);
    ~TX11DesktopClient();
    TX11DesktopClient(const TX11DesktopClient&) = delete;
    TX11DesktopClient& operator=(const TX11DesktopClient&) = delete;

    // The window, 0 when the display could not be opened.
    unsigned long Window() const;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
