// The framework's rich-text control: a memo holding formatted text, with
// its character and paragraph attributes, its lines and their streams,
// link clicks and protected text, and renders of its text into pictures.
//
//     auto* Edit = New<TXRichEdit>(Form);
//     Edit->SetParent(Form);
//     Edit->SetRichText(u"{\\rtf1 {\\b bold} text}");
//     Edit->SelAttributes()->SetStyle(Edit->SelAttributes()->Style() | (1u << fsItalic));
//     Edit->OnURLClick = [](TObject*, const String& Url, TMouseButton) { ... };
//
// Encodings are code pages: 0 (none: detected on load, ANSI on save),
// 1200/1201 (UTF-16), 65001 (UTF-8), 1252.
#pragma once
#include "gdi/Font.h"
#include "gdi/Metafile.h"
#include "richedit/RichEditMessages.h"
#include "rtl/StringList.h"
#include "vcl/StdCtrls.Edit.h"

class TXCustomRichEdit;

enum TFontPitch { fpDefault, fpVariable, fpFixed };

enum TXRichStreamMode { smSelection, smPlainRtf, smNoObjects, smUnicode };
using TXRichStreamModes = TSet<TXRichStreamMode>;

// Character formatting of the default text (0), the selection (1) or the
// word at the caret (2). Reads without a window see an empty record;
// writes without one are dropped.
class TXTextAttributes : public TPersistent {
    X_CLASS(TXTextAttributes, TPersistent)
public:
    void Create(TXCustomRichEdit* AOwner, Integer AKind);

    TColor Color() const;
    void SetColor(TColor Value);
    String Name() const;
    void SetName(const String& Value);
    Byte Charset() const;
    void SetCharset(Byte Value);
    TFontStyles Style() const;
    void SetStyle(TFontStyles Value);
    Integer Size() const;
    void SetSize(Integer Value);
    TFontPitch Pitch() const;

    void Assign(TPersistent* Source) override;
    CHARFORMAT2W Record() const;

private:
    void Write(CHARFORMAT2W& Cf) const;
    TXCustomRichEdit* FOwner = nullptr;
    Integer FKind = 0;
};

// Formatting of the selected paragraphs; lengths in points.
class TXParaAttributes : public TPersistent {
    X_CLASS(TXParaAttributes, TPersistent)
public:
    void Create(TXCustomRichEdit* AOwner);

    TAlignment Alignment() const;
    void SetAlignment(TAlignment Value);
    Integer FirstIndent() const;
    void SetFirstIndent(Integer Value);
    Integer LeftIndent() const;
    void SetLeftIndent(Integer Value);
    Integer RightIndent() const;
    void SetRightIndent(Integer Value);
    Word Numbering() const;
    void SetNumbering(Word Value);
    // Stops 0 to 31 read; 0 to 30 written; a negative index is ignored.
    Integer Tab(Integer Index) const;
    void SetTab(Integer Index, Integer Value);

    void Assign(TPersistent* Source) override;
    PARAFORMAT2 Record() const;

private:
    void Write(PARAFORMAT2& Pf) const;
    TXCustomRichEdit* FOwner = nullptr;
};

// The control's text as lines, and its streams.
class TXRichEditStrings : public TStrings {
    X_CLASS(TXRichEditStrings, TStrings)
public:
    void Create(TXCustomRichEdit* AOwner);

    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool Value) { FPlainText = Value; }
    TXRichStreamModes StreamMode() const { return FStreamMode; }
    void SetStreamMode(TXRichStreamModes Value) { FStreamMode = Value; }

    Integer Count() const override;
    void Insert(Integer Index, const String& S) override;
    void Delete(Integer Index) override;
    void Clear() override;

    // Rich text unless PlainText, and text that is no RTF as plain text;
    // a failing read raises EOutOfResources "Failed to Load Stream".
    void LoadFromStream(TStream* Stream, Word Encoding = 0) override;
    // A failing write raises EOutOfResources "Failed to Save Stream".
    void SaveToStream(TStream* Stream, Word Encoding = 0) const override;
    void LoadFromFile(const String& FileName, Word Encoding = 0) { TStrings::LoadFromFile(FileName, Encoding); }
    // Through a temporary file: a failed save leaves the old file as it was.
    void SaveToFile(const String& FileName, Word Encoding = 0) const { TStrings::SaveToFile(FileName, Encoding); }

protected:
    String Get(Integer Index) const override;
    void Put(Integer Index, const String& S) override;

private:
    void Replace(Integer Start, Integer End, const String& S) const;
    TXCustomRichEdit* FOwner = nullptr;
    bool FPlainText = false;
    TXRichStreamModes FStreamMode;
};

using TRichEditResizeEvent = std::function<void(TObject* Sender, const TRect& Rect)>;
using TRichEditProtectChange = std::function<void(TObject* Sender, Integer StartPos, Integer EndPos, bool& AllowChange)>;
using TXRichEditURLClickEvent = std::function<void(TObject* Sender, const String& URLText, TMouseButton Button)>;

class TXCustomRichEdit : public TCustomMemo {
    X_CLASS(TXCustomRichEdit, TCustomMemo)
public:
    void Create(TComponent* AOwner) override;
    ~TXCustomRichEdit() override;

    TXTextAttributes* SelAttributes() const { return FSelAttributes.get(); }
    TXTextAttributes* DefAttributes() const { return FDefAttributes.get(); }
    TXTextAttributes* WordAttributes() const { return FWordAttributes.get(); }
    TXParaAttributes* Paragraph() const { return FParagraph.get(); }
    TXRichEditStrings* Lines() const { return FLines.get(); }
    bool PlainText() const { return FLines->PlainText(); }
    void SetPlainText(bool Value) { FLines->SetPlainText(Value); }

    Integer UndoLimit() const { return FUndoLimit; }
    void SetUndoLimit(Integer Value);
    bool AutoURLDetect() const { return FAutoURLDetect; }
    void SetAutoURLDetect(bool Value);
    void SetMaxLength(Integer Value) override;
    TRect PageRect() const { return FPageRect; }
    void SetPageRect(const TRect& Value) { FPageRect = Value; }

    Integer GetTextLength();
    String GetTextRange(Integer Start, Integer End);
    void Clear() override;
    // Adds Style to the selection when its first character lacks it, else
    // removes it; every run keeps its other styles.
    void ToggleSelStyle(TFontStyle Style);

    // The class of the rich-edit library the process chose (its first use
    // chooses).
    static String LibraryClassName();

    virtual void SetRichText(const String& Text);
    virtual String GetRichText();

    TNotifyEvent OnSelectionChange;
    TRichEditResizeEvent OnResizeRequest;
    TRichEditProtectChange OnProtectChange;
    TXRichEditURLClickEvent OnURLClick;

protected:
    String EditClassName() const override;
    void CreateWnd() override;
    virtual void RequestSize(const TRect& Rect);
    virtual void SelectionChange();
    virtual bool ProtectChange(Integer StartPos, Integer EndPos);
    virtual void URLClick(const String& URLText, TMouseButton Button);

private:
    LRESULT Notify(NMHDR& Header);

    TOwnedPtr<TXTextAttributes> FSelAttributes, FDefAttributes, FWordAttributes;
    TOwnedPtr<TXParaAttributes> FParagraph;
    TOwnedPtr<TXRichEditStrings> FLines;
    Integer FUndoLimit = 100;
    bool FAutoURLDetect = true;
    TRect FPageRect;
    CHARRANGE FLinkAnchor { -1, -1 };
};

class TXRichEdit : public TXCustomRichEdit {
    X_CLASS(TXRichEdit, TXCustomRichEdit)
public:
    // The first page of the text in pixels of the screen; the picture is as
    // tall as the formatted part. False when not all the text fitted.
    virtual bool RenderToBitmap(TBitmap* Bitmap, Integer Width, Integer Height, Integer LeftMargin, Integer TopMargin,
        Integer RightMargin, Integer BottomMargin);
    // The same on a transparent metafile; Height answers the formatted height.
    virtual bool RenderToMetafile(TMetafile* Metafile, Integer Width, Integer& Height, Integer LeftMargin,
        Integer TopMargin, Integer RightMargin, Integer BottomMargin);
};

// A hidden control made, filled and freed for one render; any failure is false.
bool RenderRichTextToBitmap(TWinControl* Owner, const String& Text, TBitmap* Bitmap, Integer Width, Integer Height,
    Integer LeftMargin, Integer TopMargin, Integer RightMargin, Integer BottomMargin);
bool RenderRichStreamToBitmap(TWinControl* Owner, TStream* Stream, TBitmap* Bitmap, Integer Width, Integer Height,
    Integer LeftMargin, Integer TopMargin, Integer RightMargin, Integer BottomMargin);
