// TRichEditor: editing a document as a rich-edit control does, without a
// window: the selection, typing and keys, protected text, links found in
// the text, and undo up to UndoLimit steps.
//
//     TRichEditor Ed;
//     Ed.ReplaceSel(u"see https://x.test now");   // the address becomes a link
//     Ed.SetSel(0, 3);
//     Ed.ToggleSelStyle(CFE_BOLD);
//     Ed.Undo();                                  // "see" upright again
#pragma once
#include "richedit/RichDocument.h"
#include "win/Input.h" // the keys it takes: the platform's virtual-key numbers
#include <functional>
#include <optional>


class TRichEditor {
public:
    // A change of [Start, End) that touches protected text: allowed only
    // when the handler sets Allow (refused without a handler).
    using TProtectChange = std::function<void(Integer Start, Integer End, bool& Allow)>;
    // A link pressed and released on the same range.
    using TLinkClick = std::function<void(const String& Text)>;

    const TRichDocument& Document() const { return FDoc; }
    // The whole document replaced; undo forgets what came before.
    void SetDocument(TRichDocument Doc);

    Integer SelStart() const { return std::min(FAnchor, FCaret); }
    Integer SelLength() const { return std::abs(FCaret - FAnchor); }
    Integer Caret() const { return FCaret; }
    void SetSel(Integer Anchor, Integer Caret);
    String SelText() const;

    // The format typing uses: the character before the caret's, unless
    // set for an empty selection.
    TRichCharFormat InsertionFormat() const;
    // Sets fields of the selection, or of what is typed next when it is empty.
    void SetSelFormat(const TRichCharFormat& Format, Cardinal Mask);
    // Adds Effect to every run of the selection when its first character
    // lacks it, else removes it; each run keeps its other styles.
    void ToggleSelStyle(Cardinal Effect);
    void SetParaFormat(const TRichParaFormat& Format, Cardinal Mask);

    // The selection replaced by Text in the insertion format, the caret
    // after it. False when protected text refused the change.
    bool ReplaceSel(StringView Text);
    // The selection replaced by a whole document with its own formats.
    bool ReplaceSelDocument(const TRichDocument& Doc);
    // The format of text in an empty document, and of what is typed there.
    void SetDefaultFormat(const TRichCharFormat& Format, Cardinal Mask);
    // Keys: the caret keys (Shift extends), Back, Delete, Return, and with
    // Ctrl B, I, U, Z and A. True when the key was the editor's.
    bool KeyDown(Word Key, bool Shift, bool Ctrl);
    // A typed character.
    void KeyPress(Char C);

    Integer UndoLimit() const { return FUndoLimit; }
    // At least 0; steps beyond a lower limit are forgotten.
    void SetUndoLimit(Integer Value);
    bool CanUndo() const { return !FUndo.empty(); }
    bool Undo();

    bool AutoURLDetect() const { return FAutoURLDetect; }
    void SetAutoURLDetect(bool Value);

    // A press and a release of the left button at a character.
    void MouseDown(Integer Pos);
    void MouseUp(Integer Pos);

    // The range of the link at Pos, or nothing.
    std::optional<std::pair<Integer, Integer>> LinkAt(Integer Pos) const;

    TProtectChange OnProtectChange;
    TLinkClick OnURLClick;

private:
    struct TStep {
        Integer Start = 0, NewLength = 0;
        TRichDocument Old; // what [Start, Start + NewLength) replaced
        std::vector<std::pair<size_t, TRichParaFormat>> OldParas;
        Integer Anchor = 0, Caret = 0;
    };
    bool AllowChange(Integer Start, Integer End);
    void Remember(Integer Start, Integer End, Integer NewLength);
    void RememberParas(Integer Start, Integer End);
    void Replace(Integer Start, Integer End, StringView Text, const TRichCharFormat& Format);
    void DetectUrls(Integer Start, Integer End);

    TRichDocument FDoc;
    Integer FAnchor = 0, FCaret = 0;
    std::optional<TRichCharFormat> FPending;
    std::vector<TStep> FUndo;
    Integer FUndoLimit = 100;
    bool FAutoURLDetect = true;
    std::optional<std::pair<Integer, Integer>> FLinkAnchor;
};
