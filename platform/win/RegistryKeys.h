// The registry of this platform, as handles and routines: the current
// user's keys and values, kept in one file per user under the XDG
// configuration folder ($XDG_CONFIG_HOME or ~/.config, sub-folder
// "quorvale") and replaced atomically on every change.
//
// HKEY_CURRENT_USER is the stored tree. HKEY_CLASSES_ROOT is a view of
// HKEY_CURRENT_USER\Software\Classes (the per-user half of the classes root).
// HKEY_LOCAL_MACHINE is an empty tree that refuses changes.
//
// All handles of a process share one store; another process's changes are
// seen as soon as the file changes, and changes are made under an flock of
// a lock file beside it, so concurrent writers lose nothing. Names of keys
// and values are compared without regard to case and keep the case they
// were first written with; listings are sorted.
#pragma once
#include "win/Messages.h"
#include <vector>

using REGSAM = Cardinal;
using HKEY = struct HKEY__*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(NativeUInt(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(NativeUInt(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(NativeUInt(0x80000002u));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights of an open key.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Dispositions of RegCreateKeyEx.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Results of the Reg* routines.
constexpr Integer ERROR_SUCCESS = 0;
constexpr Integer ERROR_FILE_NOT_FOUND = 2;
constexpr Integer ERROR_ACCESS_DENIED = 5;
constexpr Integer ERROR_INVALID_HANDLE = 6;
constexpr Integer ERROR_WRITE_FAULT = 29;
constexpr Integer ERROR_INVALID_PARAMETER = 87;
constexpr Integer ERROR_MORE_DATA = 234;
constexpr Integer ERROR_NO_MORE_ITEMS = 259;
constexpr Integer ERROR_KEY_DELETED = 1018;

// The folder that holds the registry file. An empty Folder returns to the
// XDG configuration folder (read again at the next use); tests point the
// store at a folder of their own. Forgets what was loaded.
void SetRegistryFolder(const String& Folder);
String GetRegistryFolder();

// Sub-key paths are separated by "\"; empty parts (a trailing "\") are
// ignored. Handles other than the three roots are closed with RegCloseKey.
Integer RegOpenKeyEx(HKEY Key, StringView SubKey, DWORD Options, REGSAM Desired, HKEY* Result);
Integer RegCreateKeyEx(HKEY Key, StringView SubKey, REGSAM Desired, HKEY* Result, DWORD* Disposition = nullptr);
Integer RegCloseKey(HKEY Key);
// Type, Data and Size may be null. With Data, *Size gives its capacity;
// ERROR_MORE_DATA (with *Size set to the size needed) when it is too small.
Integer RegQueryValueEx(HKEY Key, StringView ValueName, DWORD* Type, Byte* Data, DWORD* Size);
Integer RegSetValueEx(HKEY Key, StringView ValueName, DWORD Type, const Byte* Data, DWORD Size);
Integer RegDeleteValue(HKEY Key, StringView ValueName);
// Deletes SubKey with everything below it; an empty SubKey is refused.
Integer RegDeleteTree(HKEY Key, StringView SubKey);
// Index-th sub-key or value in the sorted listing; ERROR_NO_MORE_ITEMS past the end.
Integer RegEnumKeyEx(HKEY Key, DWORD Index, String& Name);
Integer RegEnumValue(HKEY Key, DWORD Index, String& Name, DWORD* Type = nullptr);
// Every sub-key or value name of the key at once, sorted, appended to Names.
Integer RegKeyNames(HKEY Key, std::vector<String>& Names);
Integer RegValueNames(HKEY Key, std::vector<String>& Names);

// Changes made while a batch is open (by any thread of the process) reach
// the file together, in one write when the outermost batch ends, instead
// of one write each. The file's lock is held meanwhile, so other processes
// wait for the end. RegEndBatch answers ERROR_SUCCESS, or
// ERROR_WRITE_FAULT when the changes could not be written (they are then
// dropped and the file is read again) or when the batch could not take
// the lock (its changes then failed with ERROR_WRITE_FAULT at once).
void RegBeginBatch();
Integer RegEndBatch();

// A batch for the span of a scope: begun when made, ended by End or when
// it goes.
class TRegistryBatch {
public:
    TRegistryBatch() { RegBeginBatch(); }
    ~TRegistryBatch() { End(); }
    TRegistryBatch(const TRegistryBatch&) = delete;
    TRegistryBatch& operator=(const TRegistryBatch&) = delete;
    // True when the outermost batch wrote its changes (or none were due);
    // a second call answers True and does nothing.
    bool End()
    {
        if (!FOpen)
            return true;
        FOpen = false;
        return RegEndBatch() == ERROR_SUCCESS;
    }

private:
    bool FOpen = true;
};
