// Writing a document as rich text (RTF) in 7-bit bytes: characters
// outside ASCII go out as \uN with "?" for readers that do not know it.
//
//     RawBytes Rtf = WriteRtf(Doc);
//     RawBytes Part = WriteRtf(Doc.Slice(SelStart, SelEnd));
//
// What ReadRtf reads from it is the same document.
#pragma once
#include "richedit/RichDocument.h"

struct TRtfWriteOptions {
    // Pictures and objects left out.
    bool NoObjects = false;
};

RawBytes WriteRtf(const TRichDocument& Doc, const TRtfWriteOptions& Options = {});
