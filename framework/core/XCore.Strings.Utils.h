// Small text and file routines for progress displays, settings and the
// proxy data: size and time-span texts, whole-file texts in the "ANSI" code
// page, a tolerant Boolean reader and a reversible character shuffle.
#pragma once
#include "rtl/Streams.h"

// Bytes / 1024 as "%0.2f KB" below LimitKB kilobytes, else Bytes / 1048576
// as "%0.2f MB", with the user's decimal separator.
String FormatSizeKBMB(Int64 LimitKB, double Bytes);
// "H <hours> M <minutes>" from one hour on (any number of hours), else
// "M <minutes> S <seconds>". A negative span counts as 0.
String FormatTimeSpan(const String& HoursWord, const String& MinutesWord, const String& SecondsWord, Int64 Seconds);
// Count bytes from the position (-1 = to the end) in the "ANSI" code page;
// empty when they are not all there or reading fails.
String StreamToString(TStream* Stream, Int64 Count = -1);
// The whole file, others may read meanwhile but not write; empty when it
// cannot be read.
String LoadStringFromFile(const String& FileName);
// Replaces the file whole with Text in the "ANSI" code page (written beside
// it and renamed over it). Raises EFCreateError.
void SaveStringToFile(const String& FileName, const String& Text);
// Empty: false; T/t: true; F/f: false; otherwise a non-zero integer.
bool TextToBool(StringView Text);
// "640x480".
String SizeToText(Integer A, Integer B);
// The characters at odd positions in order, then those at even positions
// in reverse: "abcdef" gives "acefdb".
String ShuffleText(StringView Text);
String UnshuffleText(StringView Text);
