// File form of the registry, one line per key or value, UTF-8:
//
//     QuorvaleRegistry 2
//     K <tab> 0 <tab> HKEY_CURRENT_USER
//     K <tab> 1 <tab> Software
//     K <tab> 2 <tab> Quorvale
//     V <tab> type <tab> name <tab> data
//     End
//
// A key line gives the key's level and its own name: its parent is the
// last key line above it one level up, so a file grows with what it holds,
// not with the depth of its keys. Files of the first form ("QuorvaleRegistry
// 1"), whose key lines give the whole path from HKEY_CURRENT_USER, are
// still read.
//
// A value belongs to the key line above it. Data is "\"" and the text of a
// string value (its UTF-16 data without the terminating zero), "=" and the
// decimal number of a 4-byte REG_DWORD, or "#" and hex bytes for anything
// else. In names and texts "\\", control characters ("\xHH") and lone
// surrogates ("\uHHHH") are escaped, so no field holds a tab or line break.
// A file without the header or the "End" line, with any line that does
// not parse, or with more than MaxItems keys and values, is damaged.
#include "win/RegistryStore.h"
#include "rtl/StrUtils.h"
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace XRegistryStore {

namespace {

constexpr std::string_view Header = "QuorvaleRegistry 2";
constexpr std::string_view PathHeader = "QuorvaleRegistry 1";
constexpr std::string_view Trailer = "End";
constexpr std::string_view RootName = "HKEY_CURRENT_USER";
// A registry file beyond this is not ours; it reads as damaged.
constexpr long long MaxFileSize = 256ll << 20;

void AppendHex(std::string& Out, unsigned Value, int Digits)
{
    static constexpr char Hex[] = "0123456789abcdef";
    for (int I = Digits - 1; I >= 0; --I)
        Out.push_back(Hex[(Value >> (I * 4)) & 0xF]);
}

void AppendUtf8(std::string& Out, char32_t C)
{
    if (C < 0x80) {
        Out.push_back(char(C));
    } else if (C < 0x800) {
        Out.push_back(char(0xC0 | (C >> 6)));
        Out.push_back(char(0x80 | (C & 0x3F)));
    } else if (C < 0x10000) {
        Out.push_back(char(0xE0 | (C >> 12)));
        Out.push_back(char(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(char(0x80 | (C & 0x3F)));
    } else {
        Out.push_back(char(0xF0 | (C >> 18)));
        Out.push_back(char(0x80 | ((C >> 12) & 0x3F)));
        Out.push_back(char(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(char(0x80 | (C & 0x3F)));
    }
}

void AppendEscaped(std::string& Out, StringView Text)
{
    for (std::size_t I = 0; I < Text.size(); ++I) {
        char32_t C = Text[I];
        if (C >= 0xD800 && C <= 0xDFFF) {
            if (C <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] <= 0xDFFF) {
                C = 0x10000 + ((C - 0xD800) << 10) + (Text[I + 1] - 0xDC00);
                ++I;
            } else {
                Out += "\\u";
                AppendHex(Out, C, 4);
                continue;
            }
        }
        if (C == u'\\') {
            Out += "\\\\";
        } else if (C < 0x20 || C == 0x7F) {
            Out += "\\x";
            AppendHex(Out, C, 2);
        } else {
            AppendUtf8(Out, C);
        }
    }
}

bool HexValue(std::string_view Digits, unsigned& Value)
{
    Value = 0;
    for (char D : Digits) {
        unsigned V;
        if (D >= '0' && D <= '9')
            V = D - '0';
        else if (D >= 'a' && D <= 'f')
            V = D - 'a' + 10;
        else if (D >= 'A' && D <= 'F')
            V = D - 'A' + 10;
        else
            return false;
        Value = Value * 16 + V;
    }
    return true;
}

bool Unescape(std::string_view Field, String& Out)
{
    Out.clear();
    std::size_t Run = 0;
    for (std::size_t I = 0; I < Field.size();) {
        if (Field[I] != '\\') {
            ++I;
            continue;
        }
        Out += UTF8ToString(Field.substr(Run, I - Run));
        if (I + 1 >= Field.size())
            return false;
        char Kind = Field[I + 1];
        std::size_t Digits = Kind == 'x' ? 2 : Kind == 'u' ? 4 : 0;
        if (Kind == '\\') {
            Out.push_back(u'\\');
        } else if (Digits) {
            unsigned V;
            if (I + 2 + Digits > Field.size() || !HexValue(Field.substr(I + 2, Digits), V))
                return false;
            Out.push_back(Char(V));
        } else {
            return false;
        }
        I += 2 + Digits;
        Run = I;
    }
    Out += UTF8ToString(Field.substr(Run));
    return true;
}

std::vector<std::string_view> SplitFields(std::string_view Line)
{
    std::vector<std::string_view> Fields;
    std::size_t Start = 0;
    for (;;) {
        std::size_t Tab = Line.find('\t', Start);
        Fields.push_back(Line.substr(Start, Tab == std::string_view::npos ? std::string_view::npos : Tab - Start));
        if (Tab == std::string_view::npos)
            return Fields;
        Start = Tab + 1;
    }
}

bool ParseCardinal(std::string_view Text, DWORD& Value)
{
    if (Text.empty() || Text.size() > 10)
        return false;
    unsigned long long V = 0;
    auto [End, Err] = std::from_chars(Text.data(), Text.data() + Text.size(), V);
    if (Err != std::errc() || End != Text.data() + Text.size() || V > 0xFFFFFFFFull)
        return false;
    Value = DWORD(V);
    return true;
}

// A string value's data in its text form, when it has one: UTF-16 ending
// in exactly one terminating zero.
bool DataAsText(const RawBytes& Data, String& Text)
{
    if (Data.size() < 2 || Data.size() % 2 != 0 || Data[Data.size() - 1] != 0 || Data[Data.size() - 2] != 0)
        return false;
    Text.clear();
    for (std::size_t I = 0; I + 2 < Data.size(); I += 2)
        Text.push_back(Char(Byte(Data[I]) | (Byte(Data[I + 1]) << 8)));
    return true;
}

RawBytes TextAsData(StringView Text)
{
    RawBytes Data;
    Data.reserve((Text.size() + 1) * 2);
    for (Char C : Text) {
        Data.push_back(char(C & 0xFF));
        Data.push_back(char(C >> 8));
    }
    Data.append(2, '\0');
    return Data;
}

void SerializeValue(std::string& Out, const TValue& Value)
{
    Out += "V\t";
    Out += std::to_string(Value.Type);
    Out += '\t';
    AppendEscaped(Out, Value.Name);
    Out += '\t';
    String Text;
    if ((Value.Type == REG_SZ || Value.Type == REG_EXPAND_SZ) && DataAsText(Value.Data, Text)) {
        Out += '"';
        AppendEscaped(Out, Text);
    } else if (Value.Type == REG_DWORD && Value.Data.size() == 4) {
        const auto* B = reinterpret_cast<const Byte*>(Value.Data.data());
        Out += '=';
        Out += std::to_string(DWORD(B[0]) | DWORD(B[1]) << 8 | DWORD(B[2]) << 16 | DWORD(B[3]) << 24);
    } else {
        Out += '#';
        for (char B : Value.Data)
            AppendHex(Out, Byte(B), 2);
    }
    Out += '\n';
}

void SerializeKey(std::string& Out, const TKey& Key, std::size_t Level)
{
    Out += "K\t";
    Out += std::to_string(Level);
    Out += '\t';
    AppendEscaped(Out, Key.Name);
    Out += '\n';
    for (const auto& [Folded, Value] : Key.Values)
        SerializeValue(Out, Value);
    for (const auto& [Folded, Sub] : Key.Keys)
        SerializeKey(Out, Sub, Level + 1);
}

// The key Name below Parent, made when missing; null past the item cap.
TKey* SubKey(TKey& Parent, String Name, std::size_t& Items)
{
    auto [It, Made] = Parent.Keys.try_emplace(FoldName(Name));
    if (Made) {
        if (++Items > MaxItems) {
            Parent.Keys.erase(It);
            return nullptr;
        }
        It->second.Name = std::move(Name);
    }
    return &It->second;
}

// A key name as stored: not empty, no "\\".
bool KeyName(std::string_view Field, String& Name)
{
    return Unescape(Field, Name) && !Name.empty() && Name.find(u'\\') == String::npos;
}

// A key line of the first form: the whole path from the root.
TKey* PathKeyLine(const std::vector<std::string_view>& Fields, TKey& Tree, std::size_t& Items)
{
    if (Fields.size() < 2 || Fields[1] != RootName || Fields.size() - 2 > MaxDepth)
        return nullptr;
    TKey* Current = &Tree;
    for (std::size_t I = 2; I < Fields.size() && Current; ++I) {
        String Name;
        if (!KeyName(Fields[I], Name))
            return nullptr;
        Current = SubKey(*Current, std::move(Name), Items);
    }
    return Current;
}

// A key line of the present form: its level and name. Open holds the keys
// of the levels above it, the root first.
TKey* LevelKeyLine(const std::vector<std::string_view>& Fields, TKey& Tree, std::vector<TKey*>& Open,
    std::size_t& Items)
{
    DWORD Level;
    if (Fields.size() != 3 || !ParseCardinal(Fields[1], Level) || Level > MaxDepth || Level > Open.size())
        return nullptr;
    if (Level == 0) {
        if (Fields[2] != RootName)
            return nullptr;
        Open.assign(1, &Tree);
        return &Tree;
    }
    String Name;
    if (Open.empty() || !KeyName(Fields[2], Name))
        return nullptr;
    Open.resize(Level);
    TKey* Key = SubKey(*Open.back(), std::move(Name), Items);
    if (Key)
        Open.push_back(Key);
    return Key;
}

bool ParseValue(const std::vector<std::string_view>& Fields, TKey& Key, std::size_t& Items)
{
    if (Fields.size() != 4 || Fields[3].empty())
        return false;
    TValue Value;
    if (!ParseCardinal(Fields[1], Value.Type) || !Unescape(Fields[2], Value.Name))
        return false;
    std::string_view Data = Fields[3].substr(1);
    switch (Fields[3][0]) {
    case '"': {
        String Text;
        if (!Unescape(Data, Text))
            return false;
        Value.Data = TextAsData(Text);
        break;
    }
    case '=': {
        DWORD N;
        if (!ParseCardinal(Data, N))
            return false;
        for (int I = 0; I < 4; ++I)
            Value.Data.push_back(char((N >> (8 * I)) & 0xFF));
        break;
    }
    case '#':
        if (Data.size() % 2 != 0)
            return false;
        for (std::size_t I = 0; I < Data.size(); I += 2) {
            unsigned B;
            if (!HexValue(Data.substr(I, 2), B))
                return false;
            Value.Data.push_back(char(B));
        }
        break;
    default: return false;
    }
    auto [It, Made] = Key.Values.try_emplace(FoldName(Value.Name));
    if (Made && ++Items > MaxItems) {
        Key.Values.erase(It);
        return false;
    }
    It->second = std::move(Value);
    return true;
}

}

String FoldName(StringView Name)
{
    return AnsiUpperCase(Name);
}

std::size_t CountItems(const TKey& Root)
{
    std::size_t Count = Root.Values.size();
    for (const auto& [Folded, Sub] : Root.Keys)
        Count += 1 + CountItems(Sub);
    return Count;
}

std::string Serialize(const TKey& Root)
{
    std::string Out(Header);
    Out += '\n';
    Out += "K\t0\t";
    Out += RootName;
    Out += '\n';
    for (const auto& [Folded, Value] : Root.Values)
        SerializeValue(Out, Value);
    for (const auto& [Folded, Sub] : Root.Keys)
        SerializeKey(Out, Sub, 1);
    Out += Trailer;
    Out += '\n';
    return Out;
}

bool Parse(std::string_view Text, TKey& Root)
{
    TKey Tree;
    Tree.Name = Root.Name;
    TKey* Current = nullptr;
    std::vector<TKey*> Open;
    std::size_t Items = 0;
    bool Ended = false;
    bool ByPath = false;
    bool First = true;
    while (!Text.empty()) {
        std::size_t Eol = Text.find('\n');
        if (Eol == std::string_view::npos)
            return false; // cut off: every line of a whole file ends
        std::string_view Line = Text.substr(0, Eol);
        Text.remove_prefix(Eol + 1);
        if (Ended)
            return false;
        if (First) {
            if (Line != Header && Line != PathHeader)
                return false;
            ByPath = Line == PathHeader;
            First = false;
            continue;
        }
        if (Line == Trailer) {
            Ended = true;
            continue;
        }
        auto Fields = SplitFields(Line);
        if (Fields[0] == "K") {
            Current = ByPath ? PathKeyLine(Fields, Tree, Items) : LevelKeyLine(Fields, Tree, Open, Items);
            if (!Current)
                return false;
        } else if (Fields[0] == "V") {
            if (!Current || !ParseValue(Fields, *Current, Items))
                return false;
        } else {
            return false;
        }
    }
    if (!Ended)
        return false;
    Root = std::move(Tree);
    return true;
}

// ---------------------------------------------------------------------------
// Files

namespace {

std::string DefaultFolder()
{
    std::string Base;
    const char* Xdg = std::getenv("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    if (Xdg && Xdg[0] == '/') {
        Base = Xdg;
    } else {
        const char* Home = std::getenv("HOME");
        if (Home && Home[0] == '/') {
            Base = Home;
        } else {
            struct passwd Entry, *Found = nullptr;
            std::vector<char> Buffer(16384);
            if (getpwuid_r(getuid(), &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found && Found->pw_dir)
                Base = Found->pw_dir;
        }
        Base += "/.config";
    }
    return Base + "/quorvale";
}

bool MakeFolders(const std::string& Folder)
{
    for (std::size_t Pos = 1; Pos <= Folder.size(); ++Pos) {
        if (Pos < Folder.size() && Folder[Pos] != '/')
            continue;
        std::string Part = Folder.substr(0, Pos);
        if (mkdir(Part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat St;
    return stat(Folder.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

bool WriteAll(int Fd, const std::string& Content)
{
    const char* P = Content.data();
    std::size_t Left = Content.size();
    while (Left > 0) {
        ssize_t N = write(Fd, P, Left);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            return false;
        P += N;
        Left -= std::size_t(N);
    }
    return true;
}

void SyncFolder(const std::string& Path)
{
    std::string Folder = Path.substr(0, Path.rfind('/') + 1);
    int Fd = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0) {
        fsync(Fd);
        close(Fd);
    }
}

// An exclusive flock of the lock file; -1 when it cannot be had.
int LockFile(const std::string& Path)
{
    int Fd = open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (Fd < 0)
        return -1;
    int R;
    do
        R = flock(Fd, LOCK_EX);
    while (R != 0 && errno == EINTR);
    if (R != 0) {
        close(Fd);
        return -1;
    }
    return Fd;
}

class TFileLock {
public:
    explicit TFileLock(const std::string& Path)
        : FFd(LockFile(Path))
    { }
    ~TFileLock()
    {
        if (FFd >= 0)
            close(FFd); // releases the lock
    }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    bool Locked() const { return FFd >= 0; }

private:
    int FFd = -1;
};

}

TStore& TStore::Instance()
{
    static TStore Store;
    return Store;
}

void TStore::SetFolder(const std::string& Folder)
{
    FFolder = Folder;
    FTree = TKey {};
    FStamp = TStamp {};
    FLoaded = false;
    FWritable = true;
}

std::string TStore::Folder()
{
    if (FFolder.empty())
        FFolder = DefaultFolder();
    return FFolder;
}

std::string TStore::FilePath()
{
    return Folder() + "/" + FileName;
}

const TKey& TStore::Tree()
{
    Refresh();
    return FTree;
}

void TStore::Refresh()
{
    // A batch holds the lock: nobody else changes the file, and reading it
    // again would drop the batch's changes.
    if (FBatchDepth == 0)
        RefreshNow();
}

void TStore::RefreshNow()
{
    std::string Path = FilePath();
    struct stat St;
    if (stat(Path.c_str(), &St) != 0) {
        if (errno == ENOENT && (!FLoaded || FStamp.Exists)) {
            FTree = TKey {};
            FStamp = TStamp {};
            FWritable = true;
            FLoaded = true;
        }
        return;
    }
    TStamp Now { true, St.st_dev, St.st_ino, St.st_size, St.st_mtim.tv_sec, St.st_mtim.tv_nsec };
    if (FLoaded && Now == FStamp)
        return;
    Load(Path);
}

void TStore::Load(const std::string& Path)
{
    FLoaded = true;
    int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat St;
    if (Fd < 0 || fstat(Fd, &St) != 0) {
        // Unreadable (permissions, say): nothing to show, nothing to replace.
        if (Fd >= 0)
            close(Fd);
        FTree = TKey {};
        FStamp = TStamp {};
        FWritable = false;
        return;
    }
    FStamp = TStamp { true, St.st_dev, St.st_ino, St.st_size, St.st_mtim.tv_sec, St.st_mtim.tv_nsec };
    std::string Content;
    bool ReadOk = S_ISREG(St.st_mode) && St.st_size <= MaxFileSize;
    if (ReadOk) {
        char Buffer[65536];
        for (;;) {
            ssize_t N = read(Fd, Buffer, sizeof Buffer);
            if (N < 0 && errno == EINTR)
                continue;
            if (N < 0 || Content.size() + std::size_t(N) > std::size_t(MaxFileSize)) {
                ReadOk = false;
                break;
            }
            if (N == 0)
                break;
            Content.append(Buffer, std::size_t(N));
        }
    }
    close(Fd);
    TKey Tree;
    if (ReadOk && Parse(Content, Tree)) {
        FTree = std::move(Tree);
        FWritable = true;
        return;
    }
    // Damaged: it reads as an empty tree and may be replaced only once a
    // copy of it is kept beside it.
    FTree = TKey {};
    FWritable = S_ISREG(St.st_mode) && St.st_size <= MaxFileSize && Content.size() == std::size_t(St.st_size) &&
        WriteFile(Path + ".bad", Content, nullptr);
}

bool TStore::WriteFile(const std::string& Path, const std::string& Content, TStamp* Stamp)
{
    // Writers of one name hold the lock file, so the temporary name is
    // fixed; one left behind by a crash is simply written over.
    std::string Temp = Path + ".tmp";
    int Fd = open(Temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (Fd < 0)
        return false;
    struct stat St;
    bool Ok = WriteAll(Fd, Content) && fsync(Fd) == 0 && fstat(Fd, &St) == 0;
    Ok = close(Fd) == 0 && Ok;
    if (Ok)
        Ok = rename(Temp.c_str(), Path.c_str()) == 0;
    if (!Ok) {
        unlink(Temp.c_str());
        return false;
    }
    SyncFolder(Path);
    if (Stamp)
        *Stamp = TStamp { true, St.st_dev, St.st_ino, St.st_size, St.st_mtim.tv_sec, St.st_mtim.tv_nsec };
    return true;
}

bool TStore::WriteTree(const TKey& Tree, TStamp* Stamp)
{
    // A tree the next read would refuse is not written.
    return CountItems(Tree) <= MaxItems && WriteFile(FilePath(), Serialize(Tree), Stamp);
}

Integer TStore::Modify(const std::function<Integer(TKey& Root, bool& Changed)>& Change)
{
    if (FBatchDepth > 0) {
        if (FBatchLock < 0 || !FWritable) {
            // Nothing may change; whether this would is learnt on a copy.
            TKey Copy = FTree;
            bool Changed = false;
            Integer Result = Change(Copy, Changed);
            if (Result != ERROR_SUCCESS || !Changed)
                return Result;
            FBatchRefused = true;
            return ERROR_WRITE_FAULT;
        }
        bool Changed = false;
        Integer Result = Change(FTree, Changed);
        FBatchDirty = FBatchDirty || Changed;
        return Result;
    }
    std::string Dir = Folder();
    if (!MakeFolders(Dir))
        return ERROR_WRITE_FAULT;
    TFileLock Lock(Dir + "/registry.lock");
    if (!Lock.Locked())
        return ERROR_WRITE_FAULT;
    Refresh();
    TKey Copy = FTree;
    bool Changed = false;
    Integer Result = Change(Copy, Changed);
    if (Result != ERROR_SUCCESS || !Changed)
        return Result;
    if (!FWritable)
        return ERROR_WRITE_FAULT;
    TStamp Stamp;
    if (!WriteTree(Copy, &Stamp))
        return ERROR_WRITE_FAULT;
    FTree = std::move(Copy);
    FStamp = Stamp;
    FLoaded = true;
    return ERROR_SUCCESS;
}

void TStore::BeginBatch()
{
    if (FBatchDepth++ > 0)
        return;
    FBatchDirty = false;
    FBatchRefused = false;
    std::string Dir = Folder();
    FBatchLock = MakeFolders(Dir) ? LockFile(Dir + "/registry.lock") : -1;
    RefreshNow();
}

Integer TStore::EndBatch()
{
    if (FBatchDepth == 0 || --FBatchDepth > 0)
        return ERROR_SUCCESS;
    Integer Result = FBatchRefused ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
    if (FBatchDirty) {
        TStamp Stamp;
        if (WriteTree(FTree, &Stamp)) {
            FStamp = Stamp;
        } else {
            Result = ERROR_WRITE_FAULT;
            FLoaded = false;
        }
    }
    FBatchDirty = false;
    if (FBatchLock >= 0)
        close(FBatchLock); // releases the lock
    FBatchLock = -1;
    if (!FLoaded)
        Refresh();
    return Result;
}

}
