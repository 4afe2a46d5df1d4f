#include "core/XCore.IO.h"
#include "core/XCore.App.h"
#include "core/XCore.Collections.Lite.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Strings.h"
#include "rtl/Streams.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include "win/WinApi.h"
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <ftw.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

TXLiteList<TXPathExpander>* GExpanders = nullptr;

void InitIO()
{
    GExpanders = New<TXLiteList<TXPathExpander>>();
}

void DoneIO()
{
    FreeAndNil(GExpanders);
}

std::string Sys(StringView Path)
{
    return StringToUTF8(Path);
}

bool LStat(const std::string& Path, struct stat& St)
{
    if (Path.empty()) {
        errno = ENOENT;
        return false;
    }
    return ::lstat(Path.c_str(), &St) == 0;
}

// Nothing of that name exists (a name that cannot be looked up for
// another reason is not taken as absent).
bool Absent(const std::string& Path)
{
    struct stat St;
    return !LStat(Path, St) && (errno == ENOENT || errno == ENOTDIR);
}

bool Stat(const std::string& Path, struct stat& St)
{
    return !Path.empty() && ::stat(Path.c_str(), &St) == 0;
}

// A String answer of a routine that must not raise: empty when it does.
template<class F>
String GuardedText(F&& Body)
{
    String Result;
    if (!XGuarded(xecNone, false, [&] { Result = Body(); }))
        Result.clear();
    return Result;
}

constexpr UInt64 RemovePauseMs = 100;
constexpr UInt64 RetryPauseMs = 100;
constexpr Integer DeleteAttempts = 101;

// ---- the built-in macros ----

bool IsMacroChar(Char C)
{
    return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9') || C == u'_';
}

// The length of the macro token "<name>" that starts at I, 0 when none does.
size_t MacroTokenAt(const String& S, size_t I)
{
    if (S[I] != u'<')
        return 0;
    size_t J = I + 1;
    while (J < S.size() && IsMacroChar(S[J]))
        ++J;
    return J > I + 1 && J < S.size() && S[J] == u'>' ? J + 1 - I : 0;
}

// The caller's text in another case, its macro tokens left as they are:
// the macros keep their names for the expanders, and a folder an expander
// puts in is never touched (on this system it would name another folder).
String ConvertCallerText(const String& S, Char (*Convert)(Char))
{
    String Out;
    Out.reserve(S.size());
    for (size_t I = 0; I < S.size();) {
        if (size_t Token = MacroTokenAt(S, I)) {
            Out.append(S, I, Token);
            I += Token;
        } else {
            Out += Convert(S[I++]);
        }
    }
    return Out;
}

Char LowerAZ(Char C)
{
    return C >= u'A' && C <= u'Z' ? Char(C + 32) : C;
}

Char UpperAZ(Char C)
{
    return C >= u'a' && C <= u'z' ? Char(C - 32) : C;
}

String NowMacroText()
{
    TXQVCoreApp* App = QVCoreApp();
    const TDateTime Today = App ? App->Date() : Date();
    const TDateTime TimeOfDay = App ? App->Time() : Time();
    const double Fraction = TimeOfDay - std::floor(TimeOfDay);
    return IntToStr(Int64(std::trunc(double(Today)))) + u"." + IntToStr(Int64(std::trunc(Fraction * 10000)));
}

std::vector<String> SplitLines(const String& S)
{
    std::vector<String> Lines;
    size_t Start = 0;
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] == u'\r' || S[I] == u'\n') {
            Lines.emplace_back(S, Start, I - Start);
            if (S[I] == u'\r' && I + 1 < S.size() && S[I + 1] == u'\n')
                ++I;
            Start = I + 1;
        }
    }
    Lines.emplace_back(S, Start);
    return Lines;
}

// In each line holding Macro, the rest after its first occurrence becomes
// Replace(rest) and the macro goes; the lines are joined with CR LF and
// the whole is trimmed.
template<class F>
String ReplaceLineTails(const String& S, StringView Macro, F&& Replace)
{
    String Out;
    bool First = true;
    for (const String& Line : SplitLines(S)) {
        if (!First)
            Out += u"\r\n";
        First = false;
        const size_t P = Line.find(Macro);
        if (P == String::npos)
            Out += Line;
        else
            Out += Line.substr(0, P) + Replace(Line.substr(P + Macro.size()));
    }
    return Trim(Out);
}

String ShortPathOf(const String& Rest)
{
    const String Path = Trim(Rest);
    return FileOrFolderExists(Path) ? Path : String();
}

// A safe text is also never "." or "..", so it stays one plain name.
String RegText(const String& Rest)
{
    String Safe = xStr::ToSafeText(Rest);
    if (Safe == u"." || Safe == u"..")
        Safe.assign(Safe.size(), u'_');
    return Safe;
}

// ---- listings ----

enum class TEntryKind { Other, File, Folder };

// Regular files and links to them are files; a link to a folder is
// neither, so walks never follow one.
TEntryKind KindOf(int DirFd, const dirent* Entry)
{
    unsigned char Type = Entry->d_type;
    struct stat St;
    if (Type == DT_UNKNOWN) {
        if (::fstatat(DirFd, Entry->d_name, &St, AT_SYMLINK_NOFOLLOW) != 0)
            return TEntryKind::Other;
        Type = S_ISDIR(St.st_mode) ? DT_DIR : S_ISLNK(St.st_mode) ? DT_LNK : S_ISREG(St.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    switch (Type) {
    case DT_REG: return TEntryKind::File;
    case DT_DIR: return TEntryKind::Folder;
    case DT_LNK:
        return ::fstatat(DirFd, Entry->d_name, &St, 0) == 0 && S_ISREG(St.st_mode) ? TEntryKind::File
                                                                                   : TEntryKind::Other;
    default: return TEntryKind::Other;
    }
}

bool IsDotEntry(const char* Name)
{
    return Name[0] == '.' && (Name[1] == 0 || (Name[1] == '.' && Name[2] == 0));
}

// Calls Visit(Entry, Kind) for every entry of Folder but "." and "..";
// false when the folder cannot be read. The caller's own folder may be a
// link; a sub-folder met on the way is opened without following one, so a
// folder swapped for a link meanwhile is not entered.
template<class F>
bool ForEachEntry(const std::string& Folder, bool FollowLink, F&& Visit)
{
    std::string Path = Folder;
    // A trailing "/" would make the system follow a final link anyway.
    while (!FollowLink && Path.size() > 1 && Path.back() == '/')
        Path.pop_back();
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (FollowLink ? 0 : O_NOFOLLOW));
    if (Fd < 0)
        return false;
    DIR* Dir = ::fdopendir(Fd);
    if (!Dir) {
        ::close(Fd);
        return false;
    }
    while (const dirent* Entry = ::readdir(Dir))
        if (!IsDotEntry(Entry->d_name))
            Visit(Entry, KindOf(Fd, Entry));
    ::closedir(Dir);
    return true;
}

int RemoveEntry(const char* Path, const struct stat*, int Flag, FTW*)
{
    // Errors are ignored: whatever can go, goes.
    if (Flag == FTW_DP || Flag == FTW_D || Flag == FTW_DNR)
        ::rmdir(Path);
    else
        ::unlink(Path);
    return 0;
}

}

X_UNIT(XCore_IO, "XCore.IO", ({ "XCore.App", "XCore.Errors" }), &InitIO, &DoneIO)

// ---- path macros ----

Integer RegisterPathExpander(const TXPathExpander& Expander)
{
    if (!GExpanders)
        return -1;
    TMonitorLock Guard(GExpanders);
    return GExpanders->AddUnique(Expander);
}

void UnregisterPathExpander(const TXPathExpander& Expander)
{
    if (!GExpanders)
        return;
    TMonitorLock Guard(GExpanders);
    const Integer I = GExpanders->IndexOf(Expander);
    if (I >= 0)
        GExpanders->Delete(I);
}

String ExpandPathMacros(const String& Text)
{
    String S = Text;
    if (S.find(u"<low>") != String::npos)
        S = ConvertCallerText(S, &LowerAZ);
    if (S.find(u"<up>") != String::npos)
        S = ConvertCallerText(S, &UpperAZ);
    std::replace(S.begin(), S.end(), u'\\', PathDelim);

    // A copy, so an expander may register or unregister expanders.
    std::vector<TXPathExpander> Expanders;
    if (GExpanders) {
        TMonitorLock Guard(GExpanders);
        for (Integer I = 0; I < GExpanders->Count(); ++I)
            Expanders.push_back(GExpanders->Items(I));
    }
    for (const TXPathExpander& Expander : Expanders)
        S = Expander(S);

    if (S.find(u'<') == String::npos)
        return S;
    if (S.find(u"<now>") != String::npos)
        S = xStr::ReplaceAll(u"<now>", NowMacroText(), S);
    S = xStr::ReplaceAll(u"<low>", u"", S);
    S = xStr::ReplaceAll(u"<up>", u"", S);
    if (S.find(u"<short>") != String::npos)
        S = ReplaceLineTails(S, u"<short>", &ShortPathOf);
    if (S.find(u"<reg>") != String::npos)
        S = ReplaceLineTails(S, u"<reg>", &RegText);
    return S;
}

// ---- names and tests ----

bool IsSameFileName(StringView A, StringView B)
{
    return A == B;
}

bool FileOrFolderExists(const String& Path)
{
    struct stat St;
    return LStat(Sys(Path), St);
}

String IncludePathDelimiter(StringView Path)
{
    return IncludeTrailingPathDelimiter(Path);
}

String FilePathOf(StringView FileName)
{
    return ExtractFilePath(FileName);
}

bool FileExistsCheck(const String& FileName)
{
    struct stat St;
    return Stat(Sys(FileName), St) && !S_ISDIR(St.st_mode);
}

TOwnedPtr<TFileStream> OpenDataFile(const String& FileName, Int64 MaxSize)
{
    TOwnedPtr<TFileStream> File(New<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite));
    // What was opened is checked, not the name, which may change meanwhile.
    struct stat St;
    if (::fstat(File->Handle(), &St) != 0 || !S_ISREG(St.st_mode))
        throw EReadError(u"Not a regular file: " + FileName);
    if (Int64(St.st_size) > MaxSize)
        throw EReadError(u"The file is too large to read: " + FileName);
    return File;
}

bool FolderExists(const String& Path)
{
    struct stat St;
    return Stat(Sys(Path), St) && S_ISDIR(St.st_mode);
}

// ---- folders ----

bool SafeForceDirectories(const String& Path)
{
    return XGuarded(xecNone, false, [&] {
        const std::string P = Sys(Path);
        if (P.empty())
            return false;
        std::error_code Ignored;
        std::filesystem::create_directories(P, Ignored);
        struct stat St;
        return Stat(P, St) && S_ISDIR(St.st_mode);
    });
}

String CreateUniqueFolder(const String& Parent, const String& Name)
{
    return GuardedText([&]() -> String {
        if (!Parent.empty() && !SafeForceDirectories(Parent))
            return {};
        const String Base = (Parent.empty() ? String() : IncludePathDelimiter(Parent)) + Name;
        for (Integer N = 0; N < std::numeric_limits<Integer>::max(); ++N) {
            const String Candidate = N == 0 ? Base : Base + IntToStr(N);
            // mkdir is the test and the claim in one step: a name someone
            // else takes meanwhile is passed over.
            if (::mkdir(Sys(Candidate).c_str(), 0777) == 0)
                return Candidate;
            if (errno != EEXIST)
                return {};
        }
        return {};
    });
}

bool RemoveFolder(const String& Path, bool Recursive)
{
    return XGuarded(xecNone, false, [&] {
        const std::string P = Sys(ExcludeTrailingPathDelimiter(Path));
        struct stat St;
        if (!LStat(P, St))
            return Absent(P);
        if (S_ISDIR(St.st_mode)) {
            if (Recursive)
                ::nftw(P.c_str(), &RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
            else
                ::rmdir(P.c_str());
        } else if (S_ISLNK(St.st_mode)) {
            // A link to a folder goes itself; what it points at stays.
            struct stat Target;
            if (Stat(P, Target) && S_ISDIR(Target.st_mode))
                ::unlink(P.c_str());
        }
        Sleep(RemovePauseMs);
        return Absent(P);
    });
}

bool IsFolderWritable(const String& Path)
{
    return XGuarded(xecNone, false, [&] {
        if (!SafeForceDirectories(Path))
            return false;
        const String Probe = UniqueFileName(IncludePathDelimiter(Path) + u"tmp.tmp");
        if (Probe.empty())
            return false;
        const std::string P = Sys(Probe);
        // Exclusive creation: a file that appeared meanwhile is not ours,
        // so it is neither opened nor deleted.
        const int Fd = ::open(P.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (Fd < 0)
            return false;
        ::close(Fd);
        ::unlink(P.c_str());
        return true;
    });
}

// ---- listings ----

bool MatchesFileMask(StringView Name, StringView Mask)
{
    if (Mask.empty())
        return true;
    auto Fold = [](Char C) { return AnsiUpperChar(C); };
    auto Match = [&](StringView N) {
        // Greedy with one back-track point: linear for the usual masks.
        size_t I = 0, M = 0, StarM = StringView::npos, StarI = 0;
        while (I < N.size()) {
            if (M < Mask.size() && (Mask[M] == u'?' || (Mask[M] != u'*' && Fold(Mask[M]) == Fold(N[I])))) {
                ++I;
                ++M;
            } else if (M < Mask.size() && Mask[M] == u'*') {
                StarM = M++;
                StarI = I;
            } else if (StarM != StringView::npos) {
                M = StarM + 1;
                I = ++StarI;
            } else {
                return false;
            }
        }
        while (M < Mask.size() && Mask[M] == u'*')
            ++M;
        return M == Mask.size();
    };
    if (Match(Name))
        return true;
    // "name.*" takes a name without an extension too, as "*.*" takes all.
    return Mask.size() >= 2 && Mask.substr(Mask.size() - 2) == u".*" && Name.find(u'.') == StringView::npos &&
        Match(String(Name) + u".");
}

void AddFilesToList(const String& Folder, const String& Mask, TStrings* List, bool Recursive)
{
    XGuarded(xecNone, false, [&] {
        // Depth first, with a stack of folders instead of recursion, so a
        // deep tree costs memory, never the call stack.
        std::vector<String> Pending { IncludePathDelimiter(Folder) };
        bool Top = true;
        while (!Pending.empty()) {
            const String Current = std::move(Pending.back());
            Pending.pop_back();
            std::vector<String> SubFolders;
            ForEachEntry(Sys(Current), std::exchange(Top, false), [&](const dirent* Entry, TEntryKind Kind) {
                if (Kind == TEntryKind::Folder && Recursive) {
                    SubFolders.push_back(Current + UTF8ToString(Entry->d_name) + u"/");
                } else if (Kind == TEntryKind::File) {
                    const String Name = UTF8ToString(Entry->d_name);
                    if (MatchesFileMask(Name, Mask))
                        List->Add(Current + Name);
                }
            });
            Pending.insert(Pending.end(), std::make_move_iterator(SubFolders.rbegin()),
                std::make_move_iterator(SubFolders.rend()));
        }
    });
}

void ListFiles(const String& Folder, const String& Mask, TStrings* List, bool Recursive)
{
    List->Clear();
    AddFilesToList(Folder, Mask, List, Recursive);
}

void AddSubFoldersToList(const String& Folder, TStrings* List)
{
    XGuarded(xecNone, false, [&] {
        ForEachEntry(Sys(IncludePathDelimiter(Folder)), true, [&](const dirent* Entry, TEntryKind Kind) {
            if (Kind == TEntryKind::Folder)
                List->Add(UTF8ToString(Entry->d_name) + u"/");
        });
    });
}

void ListSubFolders(const String& Folder, TStrings* List)
{
    List->Clear();
    AddSubFoldersToList(Folder, List);
}

// ---- files ----

String UniqueFileName(const String& FileName)
{
    return GuardedText([&]() -> String {
        const String Folder = ExtractFilePath(FileName);
        if (!Folder.empty())
            SafeForceDirectories(Folder);
        if (!FileOrFolderExists(FileName))
            return FileName;
        const String Ext = ExtractFileExt(FileName);
        const String Base = FileName.substr(0, FileName.size() - Ext.size());
        for (Integer N = 1; N < std::numeric_limits<Integer>::max(); ++N) {
            const String Candidate = Base + IntToStr(N) + Ext;
            if (!FileOrFolderExists(Candidate))
                return Candidate;
        }
        return {};
    });
}

bool DeleteFileForced(const String& FileName)
{
    // Deleting needs no write permission on the file itself here, so
    // there is no read-only attribute to clear.
    return XGuarded(xecNone, false, [&] {
        const std::string P = Sys(FileName);
        return Absent(P) || ::unlink(P.c_str()) == 0;
    });
}

bool DeleteFileRetry(const String& FileName)
{
    return XGuarded(xecNone, false, [&] {
        const std::string P = Sys(FileName);
        for (Integer Attempt = 0; Attempt < DeleteAttempts; ++Attempt) {
            if (Absent(P) || ::unlink(P.c_str()) == 0)
                return true;
            Sleep(RetryPauseMs);
        }
        return false;
    });
}

// ---- dialog filters ----

String MakeDialogFilter(StringView Name, StringView Masks)
{
    return String(Name) + u" (" + String(Masks) + u")|" + String(Masks);
}

String MakeDialogFilterOf(StringView Name, const std::vector<String>& Masks)
{
    String Joined;
    for (size_t I = 0; I < Masks.size(); ++I) {
        if (I > 0)
            Joined += u';';
        Joined += Masks[I];
    }
    return MakeDialogFilter(Name, Joined);
}
