// The registry's process-wide store: the current user's tree in memory,
// its file form, and the file handling (reload when another process
// changed the file, flock around read-modify-write, atomic replacement,
// a ".bad" copy of a damaged file). Used by RegistryKeys.cpp only.
#pragma once
#include "win/RegistryKeys.h"
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace XRegistryStore {

struct TValue {
    String Name;
    DWORD Type = REG_NONE;
    RawBytes Data;
    bool operator==(const TValue&) const = default;
};

struct TKey {
    String Name;
    // By folded name, so the maps list in the registry's sorted order.
    std::map<String, TKey> Keys;
    std::map<String, TValue> Values;
};

// The name as compared: upper case, as the registry compares names.
String FoldName(StringView Name);

// The keys and values below Root, all levels.
std::size_t CountItems(const TKey& Root);
// The file form of a tree whose root is HKEY_CURRENT_USER.
std::string Serialize(const TKey& Root);
// False when Text is not a complete registry file; Root is then unchanged.
bool Parse(std::string_view Text, TKey& Root);

inline constexpr const char* FileName = "registry.txt";
// Keys nest at most this deep below the root (deeper paths are refused,
// and a file holding one is damaged), so walking a tree stays shallow.
inline constexpr std::size_t MaxDepth = 512;
// A file holds at most this many keys and values together: a read costs
// some 300 bytes a key whatever the file spends on it, and a tree that
// would break the cap is not written.
inline constexpr std::size_t MaxItems = 100000;

class TStore {
public:
    static TStore& Instance();

    // Everything below is used with Mutex() held.
    std::mutex& Mutex() { return FMutex; }
    // The current tree, read again first when the file changed.
    const TKey& Tree();
    // Runs Change on a copy of the fresh tree under the file lock and, when
    // it answers ERROR_SUCCESS and set Changed, writes the copy; the tree in
    // memory changes only once the file is written.
    Integer Modify(const std::function<Integer(TKey& Root, bool& Changed)>& Change);
    // A batch holds the file lock from its outermost begin to its end;
    // changes meanwhile go to the tree in memory and reach the file in one
    // write at the end (ERROR_WRITE_FAULT when they cannot: the tree is
    // then read from the file again, without them).
    void BeginBatch();
    Integer EndBatch();
    void SetFolder(const std::string& Folder);
    std::string Folder();

private:
    struct TStamp {
        bool Exists = false;
        unsigned long long Dev = 0, Ino = 0;
        long long Size = 0, MTimeSec = 0, MTimeNSec = 0;
        bool operator==(const TStamp&) const = default;
    };

    std::mutex FMutex;
    std::string FFolder; // empty: the XDG folder, found at first use
    TKey FTree;
    TStamp FStamp;
    bool FLoaded = false;
    // False while the file on disk could not be read, or was damaged and
    // its ".bad" copy could not be made: it must not be replaced then.
    bool FWritable = true;
    Integer FBatchDepth = 0;
    int FBatchLock = -1; // the lock file's descriptor while a batch holds it
    bool FBatchDirty = false;
    bool FBatchRefused = false; // a change of the batch failed at once

    std::string FilePath();
    // Reads the file again when it changed; not while a batch runs.
    void Refresh();
    void RefreshNow();
    void Load(const std::string& Path);
    bool WriteFile(const std::string& Path, const std::string& Content, TStamp* Stamp);
    bool WriteTree(const TKey& Tree, TStamp* Stamp);
};

}
