// Restore: the checked found files written into a folder as new files made
// of their byte ranges on the source.
//
//     RestoreFiles(u"/home/me/Recovered/", Files, Source->Stream(), Worker);
//
// Nothing already in the folder is opened, followed or replaced: each file
// is created new, under its name or, when that is taken, under the name
// with 1, 2, ... before its extension. A name from the card is one path
// component. A file that could not be written whole is removed again.
#pragma once
#include "core/XCore.Engine.Worker.h"
#include "sorvane/XDR.Classes.h"

class TStream;

// Writes the selected items of Files from Stream into TargetFolder
// (created when missing), stepping Worker's progress for every item and
// stopping before the next file once the worker has ended or the
// application closes. Unreadable sectors are written as zeros; the first
// file that could not be created or written leaves 45 in the calling
// thread's record when the restore ends. A device that goes away raises.
void RestoreFiles(const String& TargetFolder, TXDRFileCollection* Files, TStream* Stream, IXWorker* Worker);

// The file name an item is restored under: its name with "/" and NUL
// replaced by "_"; an empty name, "." and ".." become the item's number
// (six digits, from Index + 1) followed by its extension.
String RestoreNameOf(const TXDRFileItem* Item, Integer Index);
