// Files, folders and the path macros.
//
// Stored paths are texts with macros that become real paths when used:
//
//     String Folder = ExpandPathMacros(u"<mypictures>Recovered\\<now>");
//
// Every registered expander (the system and application objects register
// theirs) replaces its own macros first, in registration order; then the
// built-in macros follow: "<now>" (a number from today's date and time),
// "<low>" and "<up>" (the caller's text in lower or upper case), "<short>"
// (the rest of the line as the existing path, empty when it does not
// exist) and "<reg>" (the rest of the line as a safe text). A "\" in the
// caller's text is this system's "/", so stored Windows-style texts work.
//
// The file routines answer False or an empty text instead of raising; the
// pauses of RemoveFolder and DeleteFileRetry go through the time source.
#pragma once
#include "core/XCore.Types.h"
#include <vector>

class TStrings;
class TFileStream;

using TXPathExpander = TXConstMonadicFunction<String>;

// Adds Expander unless it is listed already; answers its index.
Integer RegisterPathExpander(const TXPathExpander& Expander);
void UnregisterPathExpander(const TXPathExpander& Expander);
// Passes on what an expander raises.
String ExpandPathMacros(const String& Text);

// File names on this system are compared exactly.
bool IsSameFileName(StringView A, StringView B);
// Anything of that name, a dangling link included.
bool FileOrFolderExists(const String& Path);
String IncludePathDelimiter(StringView Path);
// The folder part with its trailing delimiter.
String FilePathOf(StringView FileName);
// A name that is not a folder (links followed).
bool FileExistsCheck(const String& FileName);
bool FolderExists(const String& Path);
// Opens a file of outside data for reading: a regular file (a link to one
// is followed) of at most MaxSize bytes. A device, pipe or folder of that
// name, or a larger file, raises EReadError: /dev/zero would never end.
TOwnedPtr<TFileStream> OpenDataFile(const String& FileName, Int64 MaxSize);

// Creates the folder and its parents; True when it exists afterwards.
bool SafeForceDirectories(const String& Path);
// Parent/Name, or the first of Parent/Name1, Parent/Name2, ... that no
// file or folder takes, created; empty on failure.
String CreateUniqueFolder(const String& Parent, const String& Name);
// True at once when nothing of that name exists; otherwise deletes it
// (with its contents when Recursive, errors ignored, links removed and
// never followed), pauses 100 ms and answers whether it is gone.
bool RemoveFolder(const String& Path, bool Recursive);
// Whether a new file can be made in the folder (forced first): a probe
// file is created exclusively and deleted again.
bool IsFolderWritable(const String& Path);

// Appends the full path of each file of Folder whose name matches Mask
// (wildcards * and ?, without regard to case; "*.*" takes every name),
// and of its sub-folders when Recursive. Regular files and links to them
// count as files; a link to a folder is never followed.
void AddFilesToList(const String& Folder, const String& Mask, TStrings* List, bool Recursive);
void ListFiles(const String& Folder, const String& Mask, TStrings* List, bool Recursive);
// Appends each sub-folder's name followed by "/" (links are not folders).
void AddSubFoldersToList(const String& Folder, TStrings* List);
void ListSubFolders(const String& Folder, TStrings* List);

// Forces the file's folder; answers FileName when nothing of that name
// exists, else the first free of name1.ext, name2.ext, ...; empty when
// the counter runs out.
String UniqueFileName(const String& FileName);
// True when the file does not exist or has been deleted.
bool DeleteFileForced(const String& FileName);
// Up to 101 attempts, 100 ms apart; True once the file is gone.
bool DeleteFileRetry(const String& FileName);

// Name + " (" + Masks + ")|" + Masks.
String MakeDialogFilter(StringView Name, StringView Masks);
// The masks joined with ";", then as MakeDialogFilter.
String MakeDialogFilterOf(StringView Name, const std::vector<String>& Masks);

// Whether Name matches the wildcard Mask as AddFilesToList matches it.
bool MatchesFileMask(StringView Name, StringView Mask);
