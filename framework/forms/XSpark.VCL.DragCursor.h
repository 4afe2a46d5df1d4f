// The drag-and-copy cursor: the unit puts it into the screen's cursor
// table at start-up, under crDragCopy, and takes it out at the end.
//
//     Screen->SetCursor(crDragCopy);
#pragma once
#include "vcl/UITypes.h"

constexpr TCursor crDragCopy = -23;
