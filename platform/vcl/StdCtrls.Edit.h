// Edits on the rich-text engine: TCustomEdit keeps its text in a window of
// the engine's rich-edit class and speaks to it with the edit messages;
// TCustomMemo adds lines, scroll bars and word wrap. Both paint themselves
// on their canvas through the engine.
//
//     auto* Memo = New<TMemo>(Form);
//     Memo->SetParent(Form);
//     Memo->SetText(u"first\rsecond");
//     Memo->SetSelStart(6);
//     Memo->OnChange = [](TObject*) { ... };
#pragma once
#include "vcl/Controls.h"

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TWinControl {
    X_CLASS(TCustomEdit, TWinControl)
public:
    void Create(TComponent* AOwner) override;
    ~TCustomEdit() override;

    String Text();
    void SetText(const String& Value) override;
    virtual Integer SelStart();
    virtual void SetSelStart(Integer Value);
    virtual Integer SelLength();
    virtual void SetSelLength(Integer Value);
    virtual String SelText();
    void SetSelText(const String& Value);
    void SelectAll();
    void ClearSelection();
    virtual void Clear();
    bool Modified();
    void SetModified(bool Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    // 0: no limit of the edit's own.
    Integer MaxLength() const { return FMaxLength; }
    virtual void SetMaxLength(Integer Value);
    bool CanUndo();
    void Undo();

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(HDC Dc) override;
    bool PaintsFocus() override { return true; }
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    // Text changed in the window.
    virtual void Change();
    // The window's class: the engine's unless a descendant names another.
    virtual String EditClassName() const;
    TControlCanvas* EditCanvas() const { return FEditCanvas.get(); }

private:
    TOwnedPtr<TControlCanvas> FEditCanvas;
    Integer FMaxLength = 0;
    bool FReadOnly = false;
};

class TCustomMemo : public TCustomEdit {
    X_CLASS(TCustomMemo, TCustomEdit)
public:
    void Create(TComponent* AOwner) override;

    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool Value) { FWantReturns = Value; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool Value) { FWantTabs = Value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; }
    // The line and column of the caret.
    virtual TPoint CaretPos();
    virtual void SetCaretPos(TPoint Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    bool WantsKey(Word Key) override;

private:
    TScrollStyle FScrollBars = ssNone;
    bool FWordWrap = true;
    bool FWantReturns = true;
    bool FWantTabs = false;
    TAlignment FAlignment = taLeftJustify;
};

class TMemo : public TCustomMemo {
    X_CLASS(TMemo, TCustomMemo)
};
