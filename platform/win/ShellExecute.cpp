#include "win/ShellExecute.h"
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Children started and not reaped yet.
struct TReaper {
    std::mutex Lock;
    std::condition_variable Done;
    Integer Running = 0;
};

TReaper& Reaper()
{
    // Never destroyed: a reaping thread may outlive the statics.
    static auto* Instance = new TReaper;
    return *Instance;
}

void ReapLater(pid_t Child)
{
    TReaper& R = Reaper();
    {
        std::lock_guard Guard(R.Lock);
        ++R.Running;
    }
    auto Reap = [Child] {
        int Status = 0;
        while (::waitpid(Child, &Status, 0) < 0 && errno == EINTR) { }
        TReaper& R = Reaper();
        std::lock_guard Guard(R.Lock);
        --R.Running;
        R.Done.notify_all();
    };
    try {
        std::thread(Reap).detach();
    } catch (const std::system_error&) {
        // No thread to spare: reap here rather than leave a zombie.
        Reap();
    }
}

HINSTANCE Spawn(const std::string& Program, bool SearchPath, const std::vector<std::string>& Args,
    const std::string& Directory)
{
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    // Whatever this process holds open (its instance lock, sockets,
    // files) stays here, close-on-exec or not.
    posix_spawn_file_actions_addclosefrom_np(&Actions, 3);
    if (!Directory.empty())
        posix_spawn_file_actions_addchdir_np(&Actions, Directory.c_str());
    posix_spawnattr_t Attr;
    posix_spawnattr_init(&Attr);
    sigset_t Signals;
    sigemptyset(&Signals);
    posix_spawnattr_setsigmask(&Attr, &Signals);
    sigaddset(&Signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&Attr, &Signals);
    posix_spawnattr_setflags(&Attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> Argv;
    for (const std::string& A : Args)
        Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    pid_t Child = -1;
    const int Error = SearchPath ? ::posix_spawnp(&Child, Program.c_str(), &Actions, &Attr, Argv.data(), environ)
                                 : ::posix_spawn(&Child, Program.c_str(), &Actions, &Attr, Argv.data(), environ);
    posix_spawnattr_destroy(&Attr);
    posix_spawn_file_actions_destroy(&Actions);
    if (Error != 0)
        return Error == EACCES ? SE_ERR_ACCESSDENIED : SE_ERR_FNF;
    ReapLater(Child);
    return ShellExecuteStarted;
}

// A program: executable for us and a program in fact (an ELF image or a
// script). Files on FAT and NTFS mounts are all marked executable; a
// picture there is still opened, never run.
bool IsExecutableFile(const std::string& Path)
{
    struct stat St;
    if (::stat(Path.c_str(), &St) != 0 || !S_ISREG(St.st_mode) || ::access(Path.c_str(), X_OK) != 0)
        return false;
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (Fd < 0)
        return false;
    char Head[4] = {};
    const ssize_t N = ::read(Fd, Head, sizeof Head);
    ::close(Fd);
    return (N >= 2 && Head[0] == '#' && Head[1] == '!') ||
        (N == 4 &&
            std::memcmp(Head,
                "\x7f"
                "ELF",
                4) == 0);
}

// "https:", "mailto:", "file:": a scheme of two or more characters.
bool HasUrlScheme(const std::string& Name)
{
    size_t I = 0;
    auto Alpha = [](char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); };
    if (Name.empty() || !Alpha(Name[0]))
        return false;
    while (I < Name.size() &&
        (Alpha(Name[I]) || (Name[I] >= '0' && Name[I] <= '9') || Name[I] == '+' || Name[I] == '-' || Name[I] == '.'))
        ++I;
    return I >= 2 && I < Name.size() && Name[I] == ':';
}

std::string Absolute(const std::string& Path)
{
    std::error_code Error;
    const std::filesystem::path Full = std::filesystem::absolute(Path, Error);
    return Error ? std::string() : Full.string();
}

}

std::vector<String> CommandLineToArgv(StringView S)
{
    std::vector<String> Args;
    String Current;
    bool InArg = false, InQuote = false;
    size_t I = 0;
    while (I < S.size()) {
        const Char C = S[I];
        if (!InQuote && (C == u' ' || C == u'\t')) {
            if (InArg)
                Args.push_back(std::move(Current));
            Current.clear();
            InArg = false;
            ++I;
            continue;
        }
        InArg = true;
        if (C == u'\\') {
            size_t N = 0;
            while (I < S.size() && S[I] == u'\\') {
                ++N;
                ++I;
            }
            if (I < S.size() && S[I] == u'"') {
                Current.append(N / 2, u'\\');
                if (N % 2) {
                    Current += u'"';
                    ++I;
                }
            } else {
                Current.append(N, u'\\');
            }
        } else if (C == u'"') {
            if (InQuote && I + 1 < S.size() && S[I + 1] == u'"') {
                Current += u'"';
                I += 2;
            } else {
                InQuote = !InQuote;
                ++I;
            }
        } else {
            Current += C;
            ++I;
        }
    }
    if (InArg)
        Args.push_back(std::move(Current));
    return Args;
}

HINSTANCE ShellExecute(HWND Owner, StringView Verb, StringView File, StringView Parameters, StringView Directory,
    Integer ShowCmd)
{
    if (!Verb.empty() && Verb != u"open" && Verb != u"explore")
        return SE_ERR_NOASSOC;
    String Name(File);
    if (Name.size() >= 2 && Name.front() == u'"' && Name.back() == u'"')
        Name = Name.substr(1, Name.size() - 2);
    if (Name.empty())
        return SE_ERR_FNF;
    const std::string Target = StringToUTF8(Name);

    if (IsExecutableFile(Target)) {
        const std::string Program = Absolute(Target);
        if (Program.empty())
            return SE_ERR_FNF;
        std::vector<std::string> Args { Program };
        for (const String& A : CommandLineToArgv(Parameters))
            Args.push_back(StringToUTF8(A));
        return Spawn(Program, false, Args, StringToUTF8(Directory));
    }
    return OpenDocument(Name, Directory);
}

HINSTANCE OpenDocument(StringView File, StringView Directory)
{
    const std::string Target = StringToUTF8(File);
    if (Target.empty())
        return SE_ERR_FNF;
    // A name that exists, or has no scheme, is a path: made absolute, it
    // starts with "/" and xdg-open cannot take it for an option.
    struct stat St;
    std::string Argument = Target;
    if (::lstat(Target.c_str(), &St) == 0 || !HasUrlScheme(Target))
        Argument = Absolute(Target);
    if (Argument.empty() || Argument[0] == '-')
        return SE_ERR_FNF;
    return Spawn("xdg-open", true, { "xdg-open", Argument }, StringToUTF8(Directory));
}

void WaitForStartedPrograms()
{
    TReaper& R = Reaper();
    std::unique_lock Guard(R.Lock);
    R.Done.wait(Guard, [&] { return R.Running == 0; });
}
