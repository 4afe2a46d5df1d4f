// Starting programs and opening documents, folders and links.
//
// A program (an executable ELF image or script) is started itself, with
// Parameters split as a Windows command line is split, in Directory when
// one is given. Anything else (a document, a picture marked executable on
// a FAT mount, a folder, "https://...", "mailto:...") goes to xdg-open
// from PATH as its one argument, a relative name made absolute first so it
// can never read as an option. Nothing passes through a shell:
//
//     if (ShellExecute(nullptr, u"open", u"/opt/app/run", u"/a \"two words\"", u"", SW_SHOWNORMAL) > 32)
//         ...                                 // started with {"/a", "two words"}
//
// The answer is above 32 when the program started; its end is not awaited
// (a thread reaps it, so no child stays a zombie). The descriptors of this
// process do not reach the program.
#pragma once
#include "win/Messages.h"
#include <vector>

using HINSTANCE = std::intptr_t;

// Failure answers of ShellExecute.
constexpr HINSTANCE SE_ERR_FNF = 2; // nothing to start, or it could not be started
constexpr HINSTANCE SE_ERR_ACCESSDENIED = 5;
constexpr HINSTANCE SE_ERR_NOASSOC = 31; // a verb other than open and explore
constexpr HINSTANCE ShellExecuteStarted = 42;

// Verb: "open", "explore" or empty (open); other verbs ("print",
// "install") answer SE_ERR_NOASSOC. A File in double quotes loses them.
// Owner and ShowCmd are accepted for the callers' sake; the window
// manager places what starts.
HINSTANCE ShellExecute(HWND Owner, StringView Verb, StringView File, StringView Parameters, StringView Directory,
    Integer ShowCmd);

// Opens File (a document, folder or URL) with xdg-open as its one
// argument, never starting it as a program even when it names one; a
// path is made absolute first. Answers as ShellExecute does.
HINSTANCE OpenDocument(StringView File, StringView Directory = {});

// The arguments of a command line by the Windows rules: blanks and tabs
// separate outside double quotes; 2n backslashes before a quote give n and
// the quote opens or closes; 2n + 1 give n and a literal quote; "" inside
// quotes is a literal quote; other backslashes stay.
std::vector<String> CommandLineToArgv(StringView CommandLine);

// Waits until every program started so far has ended and been reaped.
void WaitForStartedPrograms();
