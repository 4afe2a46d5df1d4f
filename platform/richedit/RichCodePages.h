// Byte text in the code pages rich text names: RTF's \ansicpg and the
// code pages behind its font charsets (\fcharset), and plain-text streams
// read in pieces. Windows-1252 and UTF-8 go through the run-time
// library's own tables; every other page through iconv.
#pragma once
#include "rtl/Types.h"
#include <memory>

constexpr Word CP_UTF16LE = 1200;
constexpr Word CP_UTF16BE = 1201;

// The code page of a font charset; 0 for one that has none of its own
// (the default and symbol charsets: the document's page applies).
Word CharsetCodePage(Integer Charset);
// The charset that holds a code page's characters (0 for 1252 and unknown pages).
Byte CodePageCharset(Word CodePage);
// True when the bytes of CodePage can be read here.
bool CodePageKnown(Word CodePage);

// Bytes of a piece of text read one piece after another. A character
// split between two pieces (a UTF-8 or double-byte sequence, an odd byte
// of UTF-16, a surrogate pair) is carried over to the next; bytes that
// stand for no character become U+FFFD. An unknown page reads as 1252.
class TCodePageDecoder {
public:
    explicit TCodePageDecoder(Word CodePage);
    ~TCodePageDecoder();
    TCodePageDecoder(const TCodePageDecoder&) = delete;
    TCodePageDecoder& operator=(const TCodePageDecoder&) = delete;

    Word CodePage() const { return FCodePage; }
    // Appends the characters Bytes complete to Out.
    void Feed(std::string_view Bytes, String& Out);
    // The end of the text: what is still carried becomes U+FFFD.
    void Finish(String& Out);

private:
    Word FCodePage;
    RawBytes FCarry;
    void* FIconv; // iconv_t, or (iconv_t)-1 for the pages decoded here
};

// All of Bytes in CodePage.
String DecodeCodePage(std::string_view Bytes, Word CodePage);
