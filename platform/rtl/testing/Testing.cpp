#include "rtl/testing/Testing.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Testing {

namespace fs = std::filesystem;

TTempFolder::TTempFolder(const std::string& Prefix)
{
    std::string Template = (fs::temp_directory_path() / (Prefix + "-XXXXXX")).string();
    if (!::mkdtemp(Template.data()))
        throw std::runtime_error("cannot make a temporary folder");
    FPath = Template;
}

TTempFolder::~TTempFolder()
{
    std::error_code Ignored;
    fs::remove_all(FPath, Ignored);
}

String TTempFolder::File(const std::string& Name) const
{
    return UTF8ToString((FPath / Name).string());
}

TScopedEnv::TScopedEnv(std::string Name, const std::optional<std::string>& Value)
    : FName(std::move(Name))
{
    if (const char* Old = std::getenv(FName.c_str()))
        FOld = Old;
    if (Value)
        ::setenv(FName.c_str(), Value->c_str(), 1);
    else
        ::unsetenv(FName.c_str());
}

TScopedEnv::~TScopedEnv()
{
    if (FOld)
        ::setenv(FName.c_str(), FOld->c_str(), 1);
    else
        ::unsetenv(FName.c_str());
}

Integer RaisedCode(const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (const Exception& E) {
        const std::string Text = StringToUTF8(E.Message());
        char* End = nullptr;
        const long Code = std::strtol(Text.c_str(), &End, 10);
        return !Text.empty() && *End == 0 ? Integer(Code) : -1;
    } catch (...) {
        return -1;
    }
    return 0;
}

Bytes ReadFileBytes(const fs::path& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& Path, const Bytes& Data)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
    if (!Out)
        throw std::runtime_error("cannot write " + Path.string());
}

Bytes StreamBytes(TStream* Stream)
{
    Bytes Out(size_t(Stream->Size()));
    Stream->SetPosition(0);
    if (!Out.empty())
        Stream->ReadBuffer(Out.data(), Int64(Out.size()));
    return Out;
}

TToolResult RunTool(const std::vector<std::string>& Argv, const fs::path& Folder, const std::string& Input)
{
    TToolResult Result;
    if (Argv.empty())
        return Result;
    int Out[2], In[2];
    if (::pipe2(Out, O_CLOEXEC) != 0)
        return Result;
    if (::pipe2(In, O_CLOEXEC) != 0) {
        ::close(Out[0]);
        ::close(Out[1]);
        return Result;
    }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, In[0], 0);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    if (!Folder.empty())
        posix_spawn_file_actions_addchdir_np(&Actions, Folder.c_str());
    std::vector<char*> Args;
    for (const std::string& A : Argv)
        Args.push_back(const_cast<char*>(A.c_str()));
    Args.push_back(nullptr);
    pid_t Child = -1;
    const int Error = ::posix_spawnp(&Child, Args[0], &Actions, nullptr, Args.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(In[0]);
    ::close(Out[1]);
    if (Error != 0) {
        ::close(In[1]);
        ::close(Out[0]);
        Result.ExitCode = 127;
        return Result;
    }
    // Small inputs only: written before the output is read.
    if (!Input.empty() && ::write(In[1], Input.data(), Input.size()) < 0) {
    }
    ::close(In[1]);
    char Block[65536];
    for (;;) {
        const ssize_t N = ::read(Out[0], Block, sizeof Block);
        if (N <= 0)
            break;
        Result.Output.append(Block, size_t(N));
    }
    ::close(Out[0]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    return Result;
}

bool HaveTool(const std::string& Name)
{
    const char* Path = std::getenv("PATH");
    std::string Paths = Path ? Path : "/usr/bin:/bin";
    size_t Start = 0;
    while (Start <= Paths.size()) {
        size_t End = Paths.find(':', Start);
        if (End == std::string::npos)
            End = Paths.size();
        const fs::path Candidate = fs::path(Paths.substr(Start, End - Start)) / Name;
        if (::access(Candidate.c_str(), X_OK) == 0)
            return true;
        Start = End + 1;
    }
    return false;
}

}
