// The text routines the framework shares: search and replace in UTF-16
// strings and in code-page-tagged byte strings (the routines ending in A),
// quoting, tag texts, the digit coder, the field array TXStrFields and
// TXRawStringStream, a stream over a byte string.
//
// Positions are 1-based; a missing text answers 0. Byte-string routines
// compare bytes as they are, whatever the code pages; a byte string they
// build carries the code page of the text it came from.
//
//     Integer Count = xStr::TagIntDef(u"count", Reply, -1);
//     TCodePageString Bytes = xStr::DecodeDigits(Stored, 16);
#pragma once
#include "rtl/CodePages.h"
#include "rtl/Format.h"
#include "rtl/Streams.h"
#include <initializer_list>
#include <span>
#include <vector>

class TStrings;

// A namespace of class operations; never instantiated.
class xStr : public TObject {
public:
    xStr() = delete;

    // The digits of the coder, value v at index v.
    static constexpr const char* DigitTable = "0123456789ABCDEFGHIJKLMNOPQRSTUVWZXY";

    // Search and replace. A Start or From below 1 means 1.
    static Integer PosFrom(StringView SubStr, StringView S, Integer Start = 1);
    // A character matches the pattern's character, its upper or its lower
    // case form (letters a to z only).
    static Integer PosFromIgnoreCase(StringView SubStr, StringView S, Integer Start = 1);
    static String ReplaceAll(StringView OldPattern, StringView NewPattern, StringView S);
    static String ReplaceAllIgnoreCase(StringView OldPattern, StringView NewPattern, StringView S);
    // Every text between an Opener and the next Closer becomes NewText;
    // the markers stay.
    static String ReplaceBetween(StringView Opener, StringView Closer, StringView NewText, StringView S,
        Integer From = 1);
    // Every block from an Opener to the end of the next Closer becomes NewText.
    static String ReplaceBetweenInclusive(StringView Opener, StringView Closer, StringView NewText, StringView S,
        Integer From = 1);
    static String TextBetween(StringView Opener, StringView Closer, StringView S, Integer From = 1);
    static String TextBetweenIgnoreCase(StringView Opener, StringView Closer, StringView S, Integer From = 1);
    static void SplitAtFirst(StringView S, String& Left, String& Right, StringView Separator);
    static String TextBefore(StringView S, StringView Separator);
    static String TextAfter(StringView S, StringView Separator);
    // The non-empty lines joined.
    static String JoinStrings(StringView Separator, TStrings* Lines);
    // 36 characters, no braces; empty when no GUID could be made.
    static String NewGUIDText();

    static String EnsureQuoted(StringView S, Char Quote = u'"');
    static String Dequoted(StringView S, Char Quote = u'"');
    // Trimmed, every character outside blank ! # * - . 0-9 : A-Z a-z _
    // replaced by '_'.
    static String ToSafeText(StringView S);
    // Fmt itself when formatting raises.
    static String FormatSafe(const String& Fmt, std::initializer_list<TVarRec> Args);
    static String FormatSafe(const String& Fmt, std::span<const TVarRec> Args);
    static String RepeatChar(Char Ch, Integer Count);
    // Never cut when longer than Width.
    static String PadInt(Int64 Value, Char Ch, Integer Width);
    static String ZeroPadInt(Int64 Value, Integer Width);
    // Count bytes from the stream's position in the "ANSI" code page; -1
    // reads to the end. Empty when the bytes are not all there or reading
    // fails.
    static String StreamToStr(TStream* Stream, Int64 Count = -1);

    // Tag texts: <Name> ... </Name>.
    static String OpenTag(StringView Name);
    static String CloseTag(StringView Name);
    static String TagText(StringView Tag, StringView S, Integer From = 1);
    // 0 (or Default) when the text is missing or not an integer.
    static Integer TagInt(StringView Tag, StringView S, Integer From = 1);
    static Integer TagIntDef(StringView Tag, StringView S, Integer Default, Integer From = 1);

    // Int64 form of TagInt: 0 when missing or not a number.
    static Int64 TagInt64(StringView Tag, StringView S, Integer From = 1);
    // Opening tag, XmlEscape(Value), closing tag; the numbers in decimal.
    static String TagElement(StringView Name, StringView Value);
    static String TagElementInt64(StringView Name, Int64 Value);
    static String TagElementCardinal(StringView Name, Cardinal Value);
    // Opening tag, CR LF, Inner, CR LF, closing tag.
    static String TagBlock(StringView Name, StringView Inner);

    // "(" S ")".
    static String Parenthesize(StringView S);
    // One walk over S: at each position the first pattern (in array order)
    // that matches there is replaced; replacements are not scanned again.
    // Empty patterns never match. Raises EArgumentException when the arrays
    // differ in length.
    static String ReplaceMany(StringView S, const std::vector<String>& Patterns,
        const std::vector<String>& Replacements);
    // < > & ' " and their entities, in one walk each way.
    static String XmlEscape(StringView S);
    static String XmlUnescape(StringView S);
    // Value / Divisor as "%0.2f".
    static String QuotientText(Integer Divisor, double Value);
    // "1023 bytes", "1.00 KB", "1.00 MB", "1.00 GB" with the decimal
    // separator of FormatSettings.
    static String ByteSizeText(double Value);
    // Two upper-case hex digits and Separator for every byte (also the last).
    static String HexBytes(std::span<const Byte> Bytes, StringView Separator);

    // Byte strings.
    // Count bytes from the position (-1 = to the end) tagged UTF-8; empty for
    // any other Count of 0 or less. Raises EReadError when fewer are there.
    static TCodePageString StreamToUTF8(TStream* Stream, Int64 Count = -1);
    static void WriteToStreamA(TStream* Stream, const TCodePageString& S);
    // Replaces the file whole: written beside it and renamed over it, so the
    // old content stays until the new one is complete. Raises EFCreateError.
    static void SaveToFileA(const String& FileName, const TCodePageString& S);
    static Integer PosFromA(const TCodePageString& SubStr, const TCodePageString& S, Integer Start = 1);
    // The last occurrence lying wholly within the first Limit bytes (-1 = all).
    static Integer LastPosA(const TCodePageString& SubStr, const TCodePageString& S, Integer Limit = -1);
    static TCodePageString TextBetweenA(const TCodePageString& Opener, const TCodePageString& Closer,
        const TCodePageString& S, Integer From = 1);
    // From the first Opener to the last Closer of S.
    static TCodePageString TextBetweenToLastA(const TCodePageString& Opener, const TCodePageString& Closer,
        const TCodePageString& S, Integer From = 1);
    static TCodePageString OpenTagA(const TCodePageString& Name);
    static TCodePageString CloseTagA(const TCodePageString& Name);
    // <Tag name="Name">, or <Tag> for an empty Name.
    static TCodePageString OpenTagNamedA(const TCodePageString& Tag, const TCodePageString& Name);
    static TCodePageString TagTextA(const TCodePageString& Tag, const TCodePageString& S, Integer From = 1);
    static TCodePageString TagTextToLastA(const TCodePageString& Tag, const TCodePageString& S, Integer From = 1);
    // Opening tag, CR LF, Content, CR LF, closing tag.
    static TCodePageString WrapTagA(const TCodePageString& Tag, const TCodePageString& Content);
    static TCodePageString WrapTagNamedA(const TCodePageString& Tag, const TCodePageString& Name,
        const TCodePageString& Content);
    static TCodePageString RepeatCharA(char Ch, Integer Count);
    static TCodePageString PadLeftA(const TCodePageString& S, char Ch, Integer Width);
    // One walk over S: at each byte the first pattern (in array order) that
    // matches there is replaced. Empty patterns never match. Raises
    // EArgumentException when the arrays differ in length.
    static TCodePageString ReplaceManyA(const TCodePageString& S, const std::vector<TCodePageString>& Patterns,
        const std::vector<TCodePageString>& Replacements);
    // &lt; &gt; &amp; &apos; &quot; in one walk ("&amp;lt;" gives "&lt;").
    static TCodePageString DecodeXMLEntitiesA(const TCodePageString& S);

    // The digit coder: fixed-width groups of digits from DigitTable. Every
    // Base must lie in 2..36, else EArgumentOutOfRangeException.
    static Integer DigitWidth(Integer Base);
    // Left-padded with '0' to Width (0: no padding); "0" for 0.
    static String IntToDigits(Cardinal Value, Integer Base, Integer Width = 0);
    // Case-sensitive: a character outside the table counts as -1.
    static Integer DigitsToInt(StringView Digits, Integer Base);
    // The digits carry no code page of their own: ASCII, tagged 1252.
    static TCodePageString EncodeDigits(const TCodePageString& S, Integer Base);
    // Groups start at the first character and are read while their start
    // lies before the last one; each gives its low byte. The result keeps
    // the code page of Digits.
    static TCodePageString DecodeDigits(const TCodePageString& Digits, Integer Base);
    static TCodePageString DecodeOctal(const TCodePageString& Digits);
    // Backspace, LF, CR and blank are copied; every group is one UTF-16
    // character (its low 16 bits). The result is UTF-8.
    static TCodePageString DecodeDigitsMixed(const TCodePageString& Digits, Integer Base);
    // Backspace, LF, CR and blank are skipped; every group's low byte is
    // written to Stream.
    static void DecodeDigitsToStream(const TCodePageString& Digits, TStream* Stream, Integer Base);
};

// A growable array of text fields.
struct TXStrFields {
    std::vector<String> Fields;

    // Empty outside the array.
    String GetItem(Integer Index) const;
    // Grows the array to reach Index; a negative Index is ignored.
    void SetItem(Integer Index, const String& Value);
    // Splits at every character of Separators; adjacent separators give
    // empty fields, an empty S gives none.
    void Split(StringView S, StringView Separators);
    // Pieces of Width characters, the last may be shorter; none for Width < 1.
    void SplitFixed(StringView S, Integer Width);
};

// A stream over a byte string with a 32-bit position. A write sets the end
// of the data to the end of what it wrote; a seek from the end goes back
// by Offset (Size - Offset); positions are kept within 0 .. Size.
class TXRawStringStream : public TStream {
    X_CLASS(TXRawStringStream, TStream)
public:
    // Empty, UTF-8.
    void Create() override;
    void Create(TCodePageString AData);
    void Clear();
    const TCodePageString& Data() const { return FData; }

    Int64 Read(void* Buffer, Int64 Count) override;
    // Answers 0 when the data would pass the 32-bit limit.
    Int64 Write(const void* Buffer, Int64 Count) override;
    // Only the low 32 bits of Offset count.
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override { return Int64(FData.Bytes.size()); }
    // Raises EStreamError for a size outside 0 .. 2^31 - 1.
    void SetSize(Int64 NewSize) override;

private:
    TCodePageString FData { {}, CP_UTF8 };
    Integer FPosition = 0;
};
