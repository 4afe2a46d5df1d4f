// The framework's message box, used in place of the system's everywhere: a
// stay-on-top dialog with an icon, a word-wrapped text, an optional check
// box and a command frame whose button Tags are the answers.
//
//     if (MessageBoxProc(Text, u"", IDI_QUESTION, 2, TXCmdOKCancel::StaticClass()) == 1) ...
//
// Callers go through the two procedure variables, which the unit fills at
// start-up, so a program may put another box in their place. The answer is
// the Tag of the button pressed, 2 when the box was closed otherwise.
#pragma once
#include "forms/XCommandFr.h"

// The standard icons of a message box.
constexpr Integer IDI_APPLICATION = 32512;
constexpr Integer IDI_HAND = 32513; // error
constexpr Integer IDI_QUESTION = 32514;
constexpr Integer IDI_EXCLAMATION = 32515; // warning
constexpr Integer IDI_ASTERISK = 32516; // information

// A message box's icon: a standard one by number, a picture of the skin's
// "ImagesBox" by name, or none.
struct TXMessageIcon {
    Integer Id = 0;
    String Name;

    TXMessageIcon() = default;
    TXMessageIcon(Integer AId) : Id(AId) { }
    TXMessageIcon(const String& AName) : Name(AName) { }
    TXMessageIcon(const char16_t* AName) : Name(AName) { }
    bool Empty() const { return Id == 0 && Name.empty(); }
};

using TXMessageBoxProc = Integer (*)(
    const String& Text, const String& Caption, const TXMessageIcon& Icon, Integer DefaultTag, TClass FrameClass);
using TXMessageBoxCheckProc = Integer (*)(const String& Text, const String& Caption, const String& CheckCaption,
    const TXMessageIcon& Icon, Integer DefaultTag, Integer EnableTag, TClass FrameClass, bool& Checked);

extern TXMessageBoxProc MessageBoxProc;
extern TXMessageBoxCheckProc MessageBoxCheckProc;

Integer XMessageBox(
    const String& Text, const String& Caption, const TXMessageIcon& Icon, Integer DefaultTag, TClass FrameClass);
// With a check box (CheckCaption empty: the language's own); EnableTag's
// button is enabled only while the box is checked (-1: none).
Integer XMessageBoxCheck(const String& Text, const String& Caption, const String& CheckCaption,
    const TXMessageIcon& Icon, Integer DefaultTag, Integer EnableTag, TClass FrameClass, bool& Checked);
Integer ExecuteMessageBox(bool WithCheck, const String& Text, const String& Caption, const String& CheckCaption,
    const TXMessageIcon& Icon, Integer DefaultTag, Integer EnableTag, TClass FrameClass, bool& Checked);
