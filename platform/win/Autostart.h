// Programs started at the user's logon: the XDG autostart entries
// ($XDG_CONFIG_HOME/autostart/<name>.desktop), this system's form of the
// per-user "Run" key. An entry's command is its Exec line, each argument
// quoted by the Desktop Entry rules:
//
//     WriteAutostartEntry(u"Lumeno Wallpaper", { u"/opt/lumeno/lumeno", u"/a" });
//     for (const TAutostartEntry& E : ReadAutostartEntries(Readable))
//         if (!E.Command.empty() && E.Command[0] == Program) ...
#pragma once
#include "rtl/Types.h"
#include <vector>

struct TAutostartEntry {
    String FileName; // the entry's full path
    std::vector<String> Command; // its Exec line as arguments; empty when it has none
    bool Readable = true; // false when the file could not be read
};

// With its trailing "/".
String AutostartFolder();
// Name as the entry's file name: letters, digits, "-", "_" and "." stay
// (not a leading "."), anything else becomes "_".
String AutostartFileName(StringView Name);
// Writes (or replaces, through a temporary file) the entry Name with this
// command; the folder is made when missing. False when it cannot.
bool WriteAutostartEntry(StringView Name, const std::vector<String>& Command);
// Every "*.desktop" of the folder; a missing folder has none. Readable is
// False when the folder exists but cannot be listed.
std::vector<TAutostartEntry> ReadAutostartEntries(bool& Readable);

// Deletes the entry's file; True when it is gone.
bool DeleteAutostartEntry(const TAutostartEntry& Entry);

// The Exec value of a command, quoted and escaped as the Desktop Entry
// specification asks, and back.
String DesktopExecValue(const std::vector<String>& Command);
bool ParseDesktopExecValue(StringView Value, std::vector<String>& Command);
