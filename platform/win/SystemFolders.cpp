#include "win/SystemFolders.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// "user-dirs.dirs" is a few lines; more than this is not one.
constexpr std::streamsize UserDirsLimit = 64 * 1024;

std::string Env(const char* Name)
{
    const char* Value = std::getenv(Name);
    return Value ? Value : "";
}

std::string WithSlash(std::string Path)
{
    if (Path.empty() || Path.back() != '/')
        Path += '/';
    return Path;
}

// An XDG variable counts only when it holds an absolute path.
std::string AbsoluteEnv(const char* Name)
{
    std::string Value = Env(Name);
    return !Value.empty() && Value[0] == '/' ? WithSlash(Value) : std::string();
}

std::string Home()
{
    std::string Home = AbsoluteEnv("HOME");
    if (!Home.empty())
        return Home;
    std::vector<char> Buffer(16384);
    passwd Entry {};
    passwd* Found = nullptr;
    if (::getpwuid_r(::geteuid(), &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found && Found->pw_dir &&
        Found->pw_dir[0] == '/')
        return WithSlash(Found->pw_dir);
    return "/";
}

std::string ConfigHome()
{
    std::string Config = AbsoluteEnv("XDG_CONFIG_HOME");
    return Config.empty() ? Home() + ".config/" : Config;
}

// The value of Key in "user-dirs.dirs": an absolute path, or $HOME and
// the rest; anything else (other variables, relative paths) is ignored.
std::string UserDir(const std::string& Key)
{
    std::ifstream In(ConfigHome() + "user-dirs.dirs", std::ios::binary);
    std::string Line;
    std::streamsize Read = 0;
    std::string Result;
    while (Read < UserDirsLimit && std::getline(In, Line)) {
        Read += std::streamsize(Line.size()) + 1;
        const size_t Start = Line.find_first_not_of(" \t");
        if (Start == std::string::npos || Line[Start] == '#' || Line.compare(Start, Key.size(), Key) != 0)
            continue;
        size_t I = Start + Key.size();
        if (I >= Line.size() || Line[I] != '=' || I + 1 >= Line.size() || Line[I + 1] != '"')
            continue;
        std::string Value;
        bool Closed = false;
        for (I += 2; I < Line.size(); ++I) {
            if (Line[I] == '\\' && I + 1 < Line.size()) {
                Value += Line[++I];
            } else if (Line[I] == '"') {
                Closed = true;
                break;
            } else {
                Value += Line[I];
            }
        }
        if (!Closed)
            continue;
        if (Value.rfind("$HOME", 0) == 0 && (Value.size() == 5 || Value[5] == '/'))
            Result = Home() + (Value.size() > 6 ? Value.substr(6) : std::string());
        else if (!Value.empty() && Value[0] == '/')
            Result = Value;
        else
            continue;
        // The last entry of a key wins, as the shell would read it.
    }
    return Result.empty() ? Result : WithSlash(Result);
}

std::string UserFolder(const char* Key, const char* Default)
{
    std::string Folder = UserDir(Key);
    return Folder.empty() ? Home() + Default + "/" : Folder;
}

bool Ensure(const std::string& Folder, bool Create)
{
    std::error_code Error;
    if (std::filesystem::is_directory(Folder, Error))
        return true;
    if (!Create)
        return false;
    std::filesystem::create_directories(Folder, Error);
    return std::filesystem::is_directory(Folder, Error);
}

}

String GetWindowsDirectory()
{
    return u"/usr/";
}

String GetSystemDirectory()
{
    return u"/usr/lib/";
}

String GetProgramFilesDirectory()
{
    return u"/opt/";
}

String GetTempPath()
{
    std::string Tmp = AbsoluteEnv("TMPDIR");
    return UTF8ToString(Tmp.empty() ? "/tmp/" : Tmp);
}

String GetHomeDirectory()
{
    return UTF8ToString(Home());
}

String GetAppDataDirectory()
{
    std::string Data = AbsoluteEnv("XDG_DATA_HOME");
    return UTF8ToString(Data.empty() ? Home() + ".local/share/" : Data);
}

String GetConfigDirectory()
{
    return UTF8ToString(ConfigHome());
}

bool SHGetSpecialFolderPath(Integer Csidl, String& Path, bool Create)
{
    Path.clear();
    std::string Folder;
    switch (Csidl) {
    case CSIDL_DESKTOP: Folder = UserFolder("XDG_DESKTOP_DIR", "Desktop"); break;
    case CSIDL_PERSONAL: Folder = UserFolder("XDG_DOCUMENTS_DIR", "Documents"); break;
    case CSIDL_MYMUSIC: Folder = UserFolder("XDG_MUSIC_DIR", "Music"); break;
    case CSIDL_MYPICTURES: Folder = UserFolder("XDG_PICTURES_DIR", "Pictures"); break;
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA: Folder = StringToUTF8(GetAppDataDirectory()); break;
    case CSIDL_PROFILE: Folder = Home(); break;
    case CSIDL_WINDOWS: Folder = StringToUTF8(GetWindowsDirectory()); break;
    case CSIDL_SYSTEM: Folder = StringToUTF8(GetSystemDirectory()); break;
    case CSIDL_PROGRAM_FILES: Folder = StringToUTF8(GetProgramFilesDirectory()); break;
    default: return false;
    }
    if (!Ensure(Folder, Create))
        return false;
    Path = UTF8ToString(Folder);
    return true;
}

String GetComputerName()
{
    char Name[256] = {};
    if (::gethostname(Name, sizeof Name - 1) != 0)
        return {};
    return UTF8ToString(Name);
}

String GetUserName()
{
    std::vector<char> Buffer(16384);
    passwd Entry {};
    passwd* Found = nullptr;
    if (::getpwuid_r(::geteuid(), &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found && Found->pw_name)
        return UTF8ToString(Found->pw_name);
    std::string User = Env("USER");
    return UTF8ToString(User.empty() ? Env("LOGNAME") : User);
}
