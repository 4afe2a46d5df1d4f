// The signature scan of the deep scan: every sector start of the given
// ranges is tried against the signatures of all scan formats; each file a
// carver recognises is cut out of the ranges, gets its thumbnail and is
// announced on the search's worker as a TXDRFoundFileAspect.
//
//     Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), Handler);
//     ScanBlocks(Search, Volume, FreeRanges, FoundFiles);
#pragma once
#include "sorvane/XCore.Search.h"
#include "sorvane/XDR.Classes.h"

// FoundFiles is only read (the duplicate test); the worker's subscribers
// add what they keep. Search->Stream is replaced for the scan and null after.
void ScanBlocks(TXSearch* Search, TStream* VolumeStream, TXBlocks* Blocks, TXDRFileCollection* FoundFiles);
