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

// Whether a buffered volume stream reads ahead on a thread of its own
// during the scan: not at all, while its windows are slow to read (the
// default), or always.
enum class TXScanReadAhead { Off, WhenSlow, Always };

// How the scan uses threads. Whatever they are, the scan announces the same
// files in the same order, with the same statuses and thumbnails.
struct TXScanThreads {
    // Threads that make the thumbnails (and so check the JPEGs) while the
    // scan goes on ahead: -1 one per core, less one; 0 none, each in turn
    // on the scanning thread.
    Integer Pictures = -1;
    TXScanReadAhead ReadAhead = TXScanReadAhead::WhenSlow;
};

// FoundFiles is only read (the duplicate test); the worker's subscribers
// add what they keep. Search->Stream is replaced for the scan and null
// after. Announcements, fill and slow-read events and error codes all come
// on the calling thread, in scan order.
void ScanBlocks(TXSearch* Search, TStream* VolumeStream, TXBlocks* Blocks, TXDRFileCollection* FoundFiles,
    const TXScanThreads& Threads = {});
