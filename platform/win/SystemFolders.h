// The standard folders of this system and of its user, where the programs
// expect the Windows folders, the shell's special folders and the user's
// documents, pictures, music and desktop.
//
// Each call reads the environment again; every folder answered ends with
// "/". The user's folders follow the XDG base directories and the user's
// "user-dirs.dirs"; a special folder asked for with Create is made when
// it is missing:
//
//     String Pictures;
//     if (SHGetSpecialFolderPath(CSIDL_MYPICTURES, Pictures, true))
//         ...                                 // "/home/ann/Pictures/"
#pragma once
#include "rtl/Types.h"

// Special folder ids of the shell, as the programs pass them.
constexpr Integer CSIDL_DESKTOP = 0x0000;
constexpr Integer CSIDL_PERSONAL = 0x0005;
constexpr Integer CSIDL_MYMUSIC = 0x000D;
constexpr Integer CSIDL_APPDATA = 0x001A;
constexpr Integer CSIDL_LOCAL_APPDATA = 0x001C;
constexpr Integer CSIDL_WINDOWS = 0x0024;
constexpr Integer CSIDL_SYSTEM = 0x0025;
constexpr Integer CSIDL_PROGRAM_FILES = 0x0026;
constexpr Integer CSIDL_MYPICTURES = 0x0027;
constexpr Integer CSIDL_PROFILE = 0x0028;

// Fixed absolute folders standing in for the Windows, system and program
// files folders; never empty.
String GetWindowsDirectory();
String GetSystemDirectory();
String GetProgramFilesDirectory();
// $TMPDIR when it is an absolute path, else the system's temporary folder.
String GetTempPath();
// $HOME, else the home folder of the user's account; "/" when neither is.
String GetHomeDirectory();
// $XDG_DATA_HOME when absolute, else ~/.local/share/ (roaming data).
String GetAppDataDirectory();
// $XDG_CONFIG_HOME when absolute, else ~/.config/.
String GetConfigDirectory();

// The folder of a special folder id; False (and Path empty) for an id it
// does not know or a folder that cannot be made. The user's desktop,
// documents, music and pictures come from the XDG_*_DIR entries of
// "user-dirs.dirs" (an absolute path or one starting with $HOME); without
// an entry, ~/Desktop, ~/Documents, ~/Music and ~/Pictures.
bool SHGetSpecialFolderPath(Integer Csidl, String& Path, bool Create);

// The host name; empty when it cannot be read.
String GetComputerName();
// The login name of the process's user; empty when it cannot be found.
String GetUserName();
