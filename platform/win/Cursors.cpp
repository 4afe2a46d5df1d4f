#include "win/Cursors.h"
#include "win/Presenter.h"
#include <atomic>

namespace {

std::atomic<HCURSOR> Current { nullptr };

}

HCURSOR CreateFontCursor(Integer Shape)
{
    if (Shape < 0 || Shape >= XC_num_glyphs)
        return nullptr;
    return reinterpret_cast<HCURSOR>(std::uintptr_t(Shape) + 1);
}

Integer CursorFontShape(HCURSOR Cursor)
{
    return Cursor ? Integer(reinterpret_cast<std::uintptr_t>(Cursor) - 1) : -1;
}

HCURSOR LoadCursor(const void* Instance, Integer Id)
{
    if (Instance)
        return nullptr;
    switch (Id) {
    case IDC_ARROW: return CreateFontCursor(XC_left_ptr);
    case IDC_IBEAM: return CreateFontCursor(XC_xterm);
    case IDC_WAIT: return CreateFontCursor(XC_watch);
    case IDC_CROSS: return CreateFontCursor(XC_crosshair);
    case IDC_UPARROW: return CreateFontCursor(XC_sb_up_arrow);
    case IDC_SIZENWSE: return CreateFontCursor(XC_bottom_right_corner);
    case IDC_SIZENESW: return CreateFontCursor(XC_bottom_left_corner);
    case IDC_SIZEWE: return CreateFontCursor(XC_sb_h_double_arrow);
    case IDC_SIZENS: return CreateFontCursor(XC_sb_v_double_arrow);
    case IDC_SIZEALL: return CreateFontCursor(XC_fleur);
    case IDC_NO: return CreateFontCursor(XC_X_cursor);
    case IDC_HAND: return CreateFontCursor(XC_hand2);
    case IDC_APPSTARTING: return CreateFontCursor(XC_watch);
    case IDC_HELP: return CreateFontCursor(XC_question_arrow);
    default: return nullptr;
    }
}

HCURSOR SetCursor(HCURSOR Cursor)
{
    const HCURSOR Shown = Cursor ? Cursor : CreateFontCursor(XC_left_ptr);
    Presenter().SetCursorShape(CursorFontShape(Shown));
    return Current.exchange(Cursor);
}

HCURSOR GetCursor()
{
    return Current.load();
}
