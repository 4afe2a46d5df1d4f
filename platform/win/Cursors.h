// Cursors are shapes of the X cursor font: a handle names one shape, so
// the presenter shows it without any picture of ours.
//
//     SetCursor(LoadCursor(nullptr, IDC_WAIT));         // the watch
//     SetCursor(CreateFontCursor(XC_hand2));
#pragma once
#include "win/Messages.h"

struct HICON__;
using HCURSOR = HICON__*;

// Shapes of the X cursor font.
constexpr Integer XC_X_cursor = 0;
constexpr Integer XC_bottom_left_corner = 12;
constexpr Integer XC_bottom_right_corner = 14;
constexpr Integer XC_crosshair = 34;
constexpr Integer XC_fleur = 52;
constexpr Integer XC_hand1 = 58;
constexpr Integer XC_hand2 = 60;
constexpr Integer XC_left_ptr = 68;
constexpr Integer XC_plus = 90;
constexpr Integer XC_question_arrow = 92;
constexpr Integer XC_sb_h_double_arrow = 108;
constexpr Integer XC_sb_up_arrow = 114;
constexpr Integer XC_sb_v_double_arrow = 116;
constexpr Integer XC_tcross = 130;
constexpr Integer XC_watch = 150;
constexpr Integer XC_xterm = 152;
constexpr Integer XC_num_glyphs = 154;

// The system's cursors.
constexpr Integer IDC_ARROW = 32512;
constexpr Integer IDC_IBEAM = 32513;
constexpr Integer IDC_WAIT = 32514;
constexpr Integer IDC_CROSS = 32515;
constexpr Integer IDC_UPARROW = 32516;
constexpr Integer IDC_SIZENWSE = 32642;
constexpr Integer IDC_SIZENESW = 32643;
constexpr Integer IDC_SIZEWE = 32644;
constexpr Integer IDC_SIZENS = 32645;
constexpr Integer IDC_SIZEALL = 32646;
constexpr Integer IDC_NO = 32648;
constexpr Integer IDC_HAND = 32649;
constexpr Integer IDC_APPSTARTING = 32650;
constexpr Integer IDC_HELP = 32651;

// Null for a shape outside the font.
HCURSOR CreateFontCursor(Integer Shape);
// -1 for a null handle.
Integer CursorFontShape(HCURSOR Cursor);
// A system cursor (Instance null); null for an unknown id or any other
// instance, whose resources do not exist here.
HCURSOR LoadCursor(const void* Instance, Integer Id);
// Shows Cursor (null: the arrow); answers the cursor shown before.
HCURSOR SetCursor(HCURSOR Cursor);
HCURSOR GetCursor();
