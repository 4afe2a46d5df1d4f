// The text routines every layer uses, on String (UTF-16).
//
// Positions are 1-based where the class library's routines are (Pos, PosEx,
// Copy); a missing text answers 0. Upper/LowerCase, CompareText and SameText
// fold ASCII letters only; the Ansi... forms fold every BMP letter.
#pragma once
#include "rtl/Comparers.h"
#include "rtl/Types.h"
#include <initializer_list>

// Integers to text and back. Text to integer takes an optional sign and
// decimal digits, or hexadecimal after "$", "0x" or "x"; leading blanks are
// skipped, anything else is an error. Hexadecimal may fill the whole width
// ("$FFFFFFFF" is -1).
String IntToStr(Integer Value);
String IntToStr(Int64 Value);
String UIntToStr(UInt64 Value);
String IntToHex(Integer Value, Integer Digits);
String IntToHex(Int64 Value, Integer Digits);
String IntToHex(UInt64 Value, Integer Digits);
Integer StrToInt(StringView Text); // raises EConvertError
Integer StrToIntDef(StringView Text, Integer Default);
bool TryStrToInt(StringView Text, Integer& Value);
Int64 StrToInt64(StringView Text); // raises EConvertError
Int64 StrToInt64Def(StringView Text, Int64 Default);
bool TryStrToInt64(StringView Text, Int64& Value);

// Doubles as text that does not depend on the locale: the shortest text
// with "." that reads back as the same double; "NAN", "INF" and "-INF"
// for the values without digits. Reading takes only those forms.
String FloatToText(double Value);
bool TryTextToFloat(StringView Text, double& Value);

// Case. The plain forms change 'a'..'z' only.
String UpperCase(StringView Text);
String LowerCase(StringView Text);
String AnsiUpperCase(StringView Text);
String AnsiLowerCase(StringView Text);
Char AnsiUpperChar(Char C);

// Comparison: negative, zero or positive. CompareStr is ordinal;
// CompareText folds ASCII letters; AnsiCompareText folds every BMP letter.
Integer CompareStr(StringView Left, StringView Right);
Integer CompareText(StringView Left, StringView Right);
bool SameText(StringView Left, StringView Right);
Integer AnsiCompareText(StringView Left, StringView Right);
bool AnsiSameText(StringView Left, StringView Right);

// Blanks are the characters up to and including ' '.
String Trim(StringView Text);
String TrimLeft(StringView Text);
String TrimRight(StringView Text);

// 1-based search: the position of the first Sub at or after Offset, 0 when
// there is none (also for an empty Sub or an Offset outside Text).
Integer Pos(StringView Sub, StringView Text);
Integer PosEx(StringView Sub, StringView Text, Integer Offset = 1);
// Count characters from the 1-based Index; an Index below 1 counts as 1,
// what lies beyond the text is left out.
String Copy(StringView Text, Integer Index, Integer Count);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };
struct TReplaceFlags {
    bool ReplaceAll = false;
    bool IgnoreCase = false;
    TReplaceFlags() = default;
    TReplaceFlags(std::initializer_list<TReplaceFlag> Flags);
};
// An empty OldPattern leaves Text as it is.
String StringReplace(StringView Text, StringView OldPattern, StringView NewPattern, TReplaceFlags Flags = {});

String QuotedStr(StringView Text);
String AnsiQuotedStr(StringView Text, Char Quote);
// The text between the quotes with doubled quotes made single; Text itself
// when it is not a quoted text.
String AnsiDequotedStr(StringView Text, Char Quote);
String StringOfChar(Char C, Integer Count);
// "-1"/"0", or "True"/"False" when UseBoolStrs.
String BoolToStr(bool Value, bool UseBoolStrs = false);
// "True"/"False" (any case) or an integer (0 is False, others True);
// Default for anything else.
bool StrToBoolDef(StringView Text, bool Default);

// File names; the path delimiter is '/'.
inline constexpr Char PathDelim = u'/';
String IncludeTrailingPathDelimiter(StringView Path);
// The root "/" stays the root.
String ExcludeTrailingPathDelimiter(StringView Path);
String ExtractFilePath(StringView FileName); // with the trailing '/'
String ExtractFileDir(StringView FileName); // without it, except for the root
String ExtractFileName(StringView FileName);
String ExtractFileExt(StringView FileName); // with the '.'
String ChangeFileExt(StringView FileName, StringView Extension);

// Comparers of texts for the generic lists.
struct TStringComparer {
    static IPtr<IComparer<String>> Ordinal(); // case-sensitive, by code unit
};
struct TIStringComparer {
    static IPtr<IComparer<String>> Ordinal(); // case-insensitive (AnsiCompareText)
};
