// A second X client for the tests, kept apart: Xlib's names clash with the
// class library's (Screen, Time).
#pragma once
#include <string>

// Asks a window to close as a window manager does (WM_DELETE_WINDOW).
bool SendDeleteWindow(const std::string& DisplayName, unsigned long Window);
