// The clipboard, as the class library calls it:
//
//     if (OpenClipboard(Wnd)) {
//         EmptyClipboard();
//         SetClipboardData(CF_UNICODETEXT, "plain text");
//         SetClipboardData(RegisterClipboardFormat(u"Rich Text Format"), Rtf);
//         CloseClipboard();                      // others may paste it now
//     }
//     std::optional<std::string> Text = GetClipboardData(CF_UNICODETEXT);
//
// Data are bytes: CF_UNICODETEXT (and CF_TEXT, the same text) UTF-8,
// CF_BITMAP and CF_DIB a PNG picture, CF_HDROP a text/uri-list, a
// registered format whatever its writers put there ("Rich Text Format":
// RTF). What is set goes to the presenter when the clipboard is closed:
// under X11 the program then owns CLIPBOARD and serves it to others; on the
// headless presenter the clipboard lives in the process. What another
// program owns is read through the presenter, within a size and a time
// bound.
#pragma once
#include "win/Messages.h"
#include <optional>
#include <string>
#include <utility>
#include <vector>

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_DIB = 8;
constexpr UINT CF_UNICODETEXT = 13;
constexpr UINT CF_HDROP = 15;

// Every format with its bytes, in the order they were set.
using TClipboardItems = std::vector<std::pair<UINT, std::string>>;

// False when the clipboard is open already (by any window).
bool OpenClipboard(HWND Wnd);
bool CloseClipboard();
// Drops what the clipboard holds; false unless it is open.
bool EmptyClipboard();
// Puts Data in Format (replacing what it held); false unless the clipboard
// is open or for format 0.
bool SetClipboardData(UINT Format, std::string Data);
// What Format holds; nothing when it holds nothing or the owner does not
// answer in time.
std::optional<std::string> GetClipboardData(UINT Format);
bool IsClipboardFormatAvailable(UINT Format);
// The formats the clipboard holds.
std::vector<UINT> ClipboardFormats();
// A number from 0xC000 for Name, the same for every spelling of it in any
// case; 0 for an empty name or when the table is full.
UINT RegisterClipboardFormat(const String& Name);
// The registered name; empty for a number never given out.
String GetClipboardFormatName(UINT Format);
