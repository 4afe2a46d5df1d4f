// Reading rich text (RTF) into a document: the subset a rich-edit control
// keeps, which is text with character and paragraph formats, bullets,
// hyperlink fields, pictures (PNG, JPEG, device-independent bitmaps) and
// objects of other programs (kept whole with their result picture).
// Destinations it does not know are skipped.
//
//     TRichDocument Doc;
//     if (ReadRtf(Bytes, Doc) == rrNotRtf)
//         ...                              // read it as plain text instead
//
// The input may be hostile: the reader's memory stays a small multiple of
// the input, nesting costs no stack (groups past MaxRtfDepth are skipped
// whole), counts and sizes in it are clamped, and damage ends the read
// with the text before it kept.
#pragma once
#include "richedit/RichDocument.h"

enum TRtfReadResult {
    rrNotRtf, // no "{\rtf" at the start: nothing was read
    rrDamaged, // read up to damage (an unterminated group or a stray "}"); what came before is kept
    rrOk,
};

struct TRtfReadOptions {
    // Pictures and objects left out.
    bool NoObjects = false;
    // The page of \'hh bytes when neither the document nor its font says one.
    Word DefaultCodePage = 1252;
};

constexpr size_t MaxRtfDepth = 512;

// Appends what Bytes hold to Doc; its last paragraph takes the format the
// text ends with.
TRtfReadResult ReadRtf(std::string_view Bytes, TRichDocument& Doc, const TRtfReadOptions& Options = {});
// True when Bytes start as RTF does ("{\rtf", after white space).
bool LooksLikeRtf(std::string_view Bytes);
