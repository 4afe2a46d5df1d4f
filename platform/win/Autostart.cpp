#include "win/Autostart.h"
#include "rtl/Exceptions.h"
#include "rtl/SafeSave.h"
#include "win/SystemFolders.h"
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry is a few lines; anything larger is not one of ours to read.
constexpr off_t LargestEntry = 64 * 1024;

bool Reserved(Char C)
{
    return StringView(u" \t\n\"'\\><~|&;$*?#()`").find(C) != StringView::npos;
}

// The string-value escapes, applied to the whole value after quoting.
String EscapeValue(StringView S)
{
    String Out;
    for (Char C : S) {
        switch (C) {
        case u'\\': Out += u"\\\\"; break;
        case u'\n': Out += u"\\n"; break;
        case u'\t': Out += u"\\t"; break;
        case u'\r': Out += u"\\r"; break;
        default: Out += C;
        }
    }
    return Out;
}

String UnescapeValue(StringView S)
{
    String Out;
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] != u'\\' || I + 1 == S.size()) {
            Out += S[I];
            continue;
        }
        switch (S[++I]) {
        case u's': Out += u' '; break;
        case u'n': Out += u'\n'; break;
        case u't': Out += u'\t'; break;
        case u'r': Out += u'\r'; break;
        case u'\\': Out += u'\\'; break;
        default: Out += u'\\'; Out += S[I];
        }
    }
    return Out;
}

String QuoteArgument(StringView Arg)
{
    String Plain;
    for (Char C : Arg) {
        Plain += C;
        if (C == u'%')
            Plain += u'%';
    }
    bool NeedsQuotes = Plain.empty();
    for (Char C : Plain)
        NeedsQuotes = NeedsQuotes || Reserved(C);
    if (!NeedsQuotes)
        return Plain;
    String Quoted = u"\"";
    for (Char C : Plain) {
        if (C == u'"' || C == u'`' || C == u'$' || C == u'\\')
            Quoted += u'\\';
        Quoted += C;
    }
    return Quoted + u"\"";
}

bool HasControl(StringView S)
{
    for (Char C : S)
        if (C < 0x20 || C == 0x7F)
            return true;
    return false;
}

// The Exec value of the "[Desktop Entry]" group; false when there is none.
bool FindExec(const std::string& Text, String& Value)
{
    bool InEntry = false;
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        std::string Line = Text.substr(Start, End - Start);
        Start = End + 1;
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        if (!Line.empty() && Line[0] == '[') {
            InEntry = Line == "[Desktop Entry]";
            continue;
        }
        if (!InEntry || Line.empty() || Line[0] == '#')
            continue;
        const size_t Eq = Line.find('=');
        if (Eq == std::string::npos)
            continue;
        std::string Key = Line.substr(0, Eq);
        while (!Key.empty() && (Key.back() == ' ' || Key.back() == '\t'))
            Key.pop_back();
        if (Key != "Exec")
            continue;
        size_t V = Eq + 1;
        while (V < Line.size() && (Line[V] == ' ' || Line[V] == '\t'))
            ++V;
        Value = UTF8ToString(Line.substr(V));
        return true;
    }
    return false;
}

// The file's text; false when it cannot be read or is no regular file
// of a sensible size (a FIFO is never waited on).
bool ReadEntryFile(const std::string& Path, std::string& Text)
{
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (Fd < 0)
        return false;
    struct stat St;
    bool Ok = ::fstat(Fd, &St) == 0 && S_ISREG(St.st_mode) && St.st_size <= LargestEntry;
    if (Ok) {
        Text.resize(size_t(St.st_size));
        size_t Done = 0;
        while (Ok && Done < Text.size()) {
            const ssize_t N = ::read(Fd, Text.data() + Done, Text.size() - Done);
            if (N <= 0)
                break;
            Done += size_t(N);
        }
        Text.resize(Done);
    }
    ::close(Fd);
    return Ok;
}

}

String AutostartFolder()
{
    return GetConfigDirectory() + u"autostart/";
}

String AutostartFileName(StringView Name)
{
    String Out;
    for (size_t I = 0; I < Name.size(); ++I) {
        const Char C = Name[I];
        const bool Plain = (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9') ||
            C == u'-' || C == u'_' || (C == u'.' && I > 0);
        Out += Plain ? C : u'_';
    }
    return Out + u".desktop";
}

String DesktopExecValue(const std::vector<String>& Command)
{
    String Line;
    for (const String& Arg : Command) {
        if (!Line.empty())
            Line += u' ';
        Line += QuoteArgument(Arg);
    }
    return EscapeValue(Line);
}

bool ParseDesktopExecValue(StringView Value, std::vector<String>& Command)
{
    Command.clear();
    const String Line = UnescapeValue(Value);
    size_t I = 0;
    while (I < Line.size()) {
        if (Line[I] == u' ' || Line[I] == u'\t') {
            ++I;
            continue;
        }
        String Arg;
        if (Line[I] == u'"') {
            ++I;
            bool Closed = false;
            while (I < Line.size()) {
                const Char C = Line[I++];
                if (C == u'"') {
                    Closed = true;
                    break;
                }
                if (C == u'\\' && I < Line.size() && StringView(u"\"`$\\").find(Line[I]) != StringView::npos)
                    Arg += Line[I++];
                else
                    Arg += C;
            }
            if (!Closed)
                return false;
        } else {
            while (I < Line.size() && Line[I] != u' ' && Line[I] != u'\t')
                Arg += Line[I++];
        }
        String Unpercent;
        for (size_t J = 0; J < Arg.size(); ++J) {
            Unpercent += Arg[J];
            if (Arg[J] == u'%' && J + 1 < Arg.size() && Arg[J + 1] == u'%')
                ++J;
        }
        Command.push_back(std::move(Unpercent));
    }
    return true;
}

bool WriteAutostartEntry(StringView Name, const std::vector<String>& Command)
{
    if (Name.empty() || Command.empty() || HasControl(Name))
        return false;
    for (const String& Arg : Command)
        if (HasControl(Arg))
            return false;
    const String Text = u"[Desktop Entry]\nType=Application\nName=" + EscapeValue(Name) + u"\nExec=" +
        DesktopExecValue(Command) + u"\n";
    const std::string Folder = StringToUTF8(AutostartFolder());
    std::error_code Error;
    std::filesystem::create_directories(Folder, Error);
    try {
        SaveBytesToFileSafely(AutostartFolder() + AutostartFileName(Name), StringToUTF8(Text));
    } catch (const EFCreateError&) {
        // The answer says the entry could not be written.
        return false;
    }
    return true;
}

std::vector<TAutostartEntry> ReadAutostartEntries(bool& Readable)
{
    std::vector<TAutostartEntry> Entries;
    const std::string Folder = StringToUTF8(AutostartFolder());
    DIR* Dir = ::opendir(Folder.c_str());
    if (!Dir) {
        Readable = errno == ENOENT;
        return Entries;
    }
    Readable = true;
    while (const dirent* E = ::readdir(Dir)) {
        const std::string Name = E->d_name;
        if (Name.size() <= 8 || Name.compare(Name.size() - 8, 8, ".desktop") != 0)
            continue;
        TAutostartEntry Entry;
        Entry.FileName = UTF8ToString(Folder + Name);
        std::string Text;
        String Exec;
        if (!ReadEntryFile(Folder + Name, Text))
            Entry.Readable = false;
        else if (FindExec(Text, Exec))
            ParseDesktopExecValue(Exec, Entry.Command);
        Entries.push_back(std::move(Entry));
    }
    ::closedir(Dir);
    return Entries;
}

bool DeleteAutostartEntry(const TAutostartEntry& Entry)
{
    return ::unlink(StringToUTF8(Entry.FileName).c_str()) == 0 || errno == ENOENT;
}
