// Text streamed into the engine: rich text, or plain text in the encoding
// its first bytes announce, read in pieces as a control's reader gives
// them.
//
//     TRichDocument Doc;
//     LoadRichStream(Stream, Doc, false);    // RTF, or plain text when it is none
#pragma once
#include "richedit/RichCodePages.h"
#include "richedit/RichDocument.h"
#include "rtl/Exceptions.h"

class TStream;


// The encoding a byte-order mark at the start of Head announces: UTF-16
// little- or big-endian, UTF-8, or 0 when there is none (the ANSI page).
Word DetectTextEncoding(std::string_view Head);

// Plain text read in pieces, as the document keeps it: CR LF, a lone CR
// and a lone LF each become one paragraph mark, also when a pair is split
// between two pieces; only the text's first byte-order mark is dropped (a
// later one is a character of the text).
class TPlainTextReader {
public:
    // Page 0 reads the ANSI page (1252).
    explicit TPlainTextReader(Word CodePage);
    void Feed(std::string_view Bytes, String& Out);
    void Finish(String& Out);

private:
    void Put(StringView Text, String& Out);
    TCodePageDecoder FDecoder;
    bool FStarted = false;
    bool FAfterCR = false;
};

// All of Stream from its position into Doc, read ChunkSize bytes at a
// time: rich text unless PlainText, and rich text that is no RTF as plain
// text; plain text in CodePage, or when it is 0 in the encoding its start
// announces. A failing read of the stream raises EOutOfResources with
// "Failed to Load Stream", in every mode.
void LoadRichStream(TStream* Stream, TRichDocument& Doc, bool PlainText, Word CodePage = 0, size_t ChunkSize = 4096);
