// TRichDocument: the text of a rich-text control with its formats.
//
//     TRichDocument Doc;
//     Doc.Insert(0, u"Title\rBody", TRichCharFormat());   // two paragraphs
//     TRichCharFormat Bold;
//     Bold.Effects |= CFE_BOLD;
//     Doc.SetCharFormat(0, 5, Bold, CFM_BOLD);
//
// The text is UTF-16. A paragraph ends with one CR (U+000D), which is one
// character in every position and length; the last paragraph has none.
// An embedded object or picture is one U+FFFC, and the k-th of them in the
// text is Objects()[k]. Character formats are kept as runs that cover the
// text without gaps, neighbours always different; every paragraph has its
// own paragraph format (the CR carries it).
#pragma once
#include "richedit/RichFormat.h"
#include <vector>

constexpr Char ParagraphMark = u'\r';
constexpr Char ObjectMark = u'\uFFFC';

enum TRichPictureFormat : Byte { rpfNone, rpfPng, rpfJpeg, rpfDib };

// A picture as its bytes, decoded only when drawn.
struct TRichPicture {
    TRichPictureFormat Format = rpfNone;
    RawBytes Data;
    // Its own size in pixels, and the size it is shown at in twips (0:
    // from the pixels at 96 dpi).
    Integer Width = 0, Height = 0;
    Integer GoalWidth = 0, GoalHeight = 0;
    // Percent.
    Integer ScaleX = 100, ScaleY = 100;

    bool operator==(const TRichPicture&) const = default;
    // The shown size in twips, scaled.
    Integer ShownWidth() const;
    Integer ShownHeight() const;
};

enum TRichObjectKind : Byte { rokPicture, rokObject };

// What a U+FFFC stands for: a picture, or an object of another program
// kept whole as the text it came in (Source), drawn as its last picture.
struct TRichObject {
    TRichObjectKind Kind = rokPicture;
    TRichPicture Picture;
    RawBytes Source;

    bool operator==(const TRichObject&) const = default;
};

class TRichDocument {
public:
    struct TRun {
        Integer Start = 0;
        TRichCharFormat Format;
        bool operator==(const TRun&) const = default;
    };
    struct TPara {
        Integer Start = 0;
        TRichParaFormat Format;
        bool operator==(const TPara&) const = default;
    };

    TRichDocument();

    const String& Text() const { return FText; }
    Integer Length() const { return Integer(FText.size()); }
    const std::vector<TRun>& Runs() const { return FRuns; }
    const std::vector<TPara>& Paras() const { return FParas; }
    const std::vector<TRichObject>& Objects() const { return FObjects; }
    bool operator==(const TRichDocument&) const = default;

    // Text at Pos in Format. A CR in it ends a paragraph: the paragraphs
    // it makes take the format of the one it was put in. Each U+FFFC takes
    // the next of Objects, in order (an empty picture when they run out).
    // Pos is clamped to the text.
    void Insert(Integer Pos, StringView Text, const TRichCharFormat& Format, std::vector<TRichObject> Objects = {});
    // Text at the end, at a cost that does not grow with the document:
    // how readers build one.
    void Append(StringView Text, const TRichCharFormat& Format, std::vector<TRichObject> Objects = {});
    // The format of the last paragraph (the one Append adds to).
    void SetLastParaFormat(const TRichParaFormat& Format);
    // Count characters from Pos, clamped to the text.
    void Delete(Integer Pos, Integer Count);
    void Clear();

    // Characters
    const TRichCharFormat& CharFormatAt(Integer Pos) const;
    // The format of [Start, End) (of the character before Start when the
    // range is empty) and the mask of fields uniform over it.
    Cardinal CharFormatOf(Integer Start, Integer End, TRichCharFormat& Format) const;
    void SetCharFormat(Integer Start, Integer End, const TRichCharFormat& Format, Cardinal Mask);
    // The run holding Pos (the last one at the end).
    size_t RunIndexAt(Integer Pos) const;
    Integer RunEnd(size_t Index) const;

    // Paragraphs
    size_t ParaIndexAt(Integer Pos) const;
    // Past the paragraph's CR (or the text's end for the last one).
    Integer ParaEnd(size_t Index) const;
    // The paragraphs that [Start, End) touches; an empty range its own.
    void SetParaFormat(Integer Start, Integer End, const TRichParaFormat& Format, Cardinal Mask);
    // The first paragraph's format and the mask uniform over them.
    Cardinal ParaFormatOf(Integer Start, Integer End, TRichParaFormat& Format) const;

    // Objects: the index of the object at Pos (a U+FFFC), or -1.
    Integer ObjectIndexAt(Integer Pos) const;
    TRichObject* ObjectAt(Integer Pos);

    // Default format of new text in an empty document.
    const TRichCharFormat& DefaultFormat() const { return FDefault; }
    void SetDefaultFormat(const TRichCharFormat& Format, Cardinal Mask);

    // A copy of [Start, End) with its formats and objects.
    TRichDocument Slice(Integer Start, Integer End) const;
    // Another document's whole content put in at Pos (its paragraph
    // formats go with its paragraph marks).
    void InsertDocument(Integer Pos, const TRichDocument& Other);

private:
    Integer Clamp(Integer Pos) const;
    // Splits the run holding Pos so that one starts there; its index.
    size_t SplitRunAt(Integer Pos);
    // Drops empty runs and merges equal neighbours.
    void NormalizeRuns();
    Integer ObjectsBefore(Integer Pos) const;

    String FText;
    std::vector<TRun> FRuns;
    std::vector<TPara> FParas;
    std::vector<TRichObject> FObjects;
    TRichCharFormat FDefault;
};
