// The structure walk behind the TIFF family's carver: the IFD chain, the
// sub-IFDs and the Exif, GPS and Interoperability IFDs, the extent of every
// piece of the file they point at (directories and their arrays included),
// the format that the make and model decide, and where the embedded picture
// lies.
//
//     const TXDRTiffResult R = WalkTiff(Search, Hit, false);
//     if (R.End >= 0) ... R.ID, R.PreviewOffset
#pragma once
#include "sorvane/XCore.Search.h"

struct TXDRTiffResult {
    Int64 End = -1; // offset of the file's last byte; -1: not a file
    Byte ID = 1; // the format number decided
    Int64 PreviewOffset = 0; // from the hit; 0: no picture
    Int64 PreviewLength = 0; // bytes of the picture; 0: up to the file's end
};

// Never raises. A read that fails ends the walk with error 39; a cancelled
// search or a terminating application ends it silently. IsRW2 asks for the
// Panasonic carver's extra tags.
TXDRTiffResult WalkTiff(TXSearch* Search, Int64 Hit, bool IsRW2);
