// A second X client for the tests, kept apart: Xlib's names clash with the
// class library's (Screen, Time).
#pragma once
#include <string>

// An X window's id as the X tools take it (0x...).
std::string Hex(unsigned long Window);
// Asks a window to close as a window manager does (WM_DELETE_WINDOW).
bool SendDeleteWindow(const std::string& DisplayName, unsigned long Window);
// Asks the window manager to add (or remove) both maximised states of a
// window, as its title-bar button does.
bool SendMaximize(const std::string& DisplayName, unsigned long Window, bool Maximize);
