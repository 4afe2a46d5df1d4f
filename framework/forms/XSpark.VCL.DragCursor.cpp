#include "forms/XSpark.VCL.DragCursor.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "win/Cursors.h"

namespace {

void InitDragCursor()
{
    // The cursor font's plus sign stands for the copy a drag makes; a
    // shape of the font needs nothing freed.
    Screen->SetCursors(crDragCopy, CreateFontCursor(XC_plus));
}

void DoneDragCursor()
{
    if (Screen)
        Screen->SetCursors(crDragCopy, nullptr);
}

}

X_UNIT(XSpark_VCL_DragCursor, "XSpark.VCL.DragCursor", ({ "Forms" }), &InitDragCursor, &DoneDragCursor)
