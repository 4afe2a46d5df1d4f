// TFindDialog as the rich-text control's find events name it: the text
// sought, the search options and the find and close events. There is no
// find window of the system here: Execute answers false, and a program
// that wants one shows its own and sets FindText and Options from it.
#pragma once
#include "rtl/Component.h"
#include "rtl/StringList.h"
#include "vcl/UITypes.h"

enum TFindOption {
    frDown,
    frFindNext,
    frHideMatchCase,
    frHideWholeWord,
    frHideUpDown,
    frMatchCase,
    frDisableMatchCase,
    frDisableUpDown,
    frDisableWholeWord,
    frReplace,
    frReplaceAll,
    frWholeWord,
    frShowHelp
};
using TFindOptions = TSet<TFindOption>;

class TFindDialog : public TComponent {
    X_CLASS(TFindDialog, TComponent)
public:
    const String& FindText() const { return FFindText; }
    void SetFindText(const String& Value) { FFindText = Value; }
    // frDown unless set.
    TFindOptions Options() const { return FOptions; }
    void SetOptions(TFindOptions Value) { FOptions = Value; }

    // Shows no window (there is none to show); false.
    virtual bool Execute() { return false; }
    // Runs OnClose, as closing a shown dialog does.
    virtual void CloseDialog();
    // Runs OnFind, as the dialog's find button does.
    void Find();

    TNotifyEvent OnFind;
    TNotifyEvent OnClose;

private:
    String FFindText;
    TFindOptions FOptions { frDown };
};
