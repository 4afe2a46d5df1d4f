#include "rtl/testing/Testing.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <sstream>
#include <cstdio>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
    } catch (...) { // the probe's answer for a raise without a code
        return -1;
    }
    return 0;
}

Bytes RandomBytes(size_t Count, unsigned Seed)
{
    std::mt19937 Random(Seed);
    Bytes Data(Count);
    for (Byte& B : Data)
        B = Byte(Random() | 1);
    return Data;
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
    const std::string Program = FindTool(Argv[0]);
    pid_t Child = -1;
    const int Error =
        Program.empty() ? ENOENT : ::posix_spawn(&Child, Program.c_str(), &Actions, nullptr, Args.data(), environ);
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
    if (!Input.empty() && ::write(In[1], Input.data(), Input.size()) < 0) { }
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

std::string FindTool(const std::string& Name)
{
    if (Name.empty() || Name.find('/') != std::string::npos)
        return Name;
    const char* Path = std::getenv("PATH");
    std::string Paths = std::string(Path ? Path : "/usr/bin:/bin") + ":/usr/sbin:/sbin";
    size_t Start = 0;
    while (Start <= Paths.size()) {
        size_t End = Paths.find(':', Start);
        if (End == std::string::npos)
            End = Paths.size();
        const fs::path Candidate = fs::path(Paths.substr(Start, End - Start)) / Name;
        if (End > Start && ::access(Candidate.c_str(), X_OK) == 0 && !fs::is_directory(Candidate))
            return Candidate.string();
        Start = End + 1;
    }
    return {};
}

bool HaveTool(const std::string& Name)
{
    return !FindTool(Name).empty();
}

TToolResult RunThisTestWith(const std::vector<std::string>& Env)
{
    const ::testing::TestInfo* Test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!Test)
        return {};
    // The child runs this test alone, whatever shard the parent was.
    std::vector<std::string> Argv { "env", "-u", "GTEST_TOTAL_SHARDS", "-u", "GTEST_SHARD_INDEX" };
    Argv.insert(Argv.end(), Env.begin(), Env.end());
    Argv.push_back(fs::read_symlink("/proc/self/exe").string());
    Argv.push_back(std::string("--gtest_filter=") + Test->test_suite_name() + "." + Test->name());
    TToolResult Result = RunTool(Argv);
    // A filter that matches nothing passes too: the test must have run.
    if (Result.ExitCode == 0 && Result.Output.find("[  PASSED  ] 1 test.") == std::string::npos)
        Result.ExitCode = 1;
    return Result;
}

namespace {

long StatusKiB(const char* Field)
{
    std::ifstream Status("/proc/self/status");
    const std::string Key = std::string(Field) + ":";
    std::string Line;
    while (std::getline(Status, Line))
        if (Line.rfind(Key, 0) == 0)
            return std::atol(Line.c_str() + Key.size());
    return -1;
}

}

long ResidentKiB()
{
    return StatusKiB("VmRSS");
}

long PeakResidentKiB()
{
    return StatusKiB("VmHWM");
}

void ResetPeakResident()
{
    // "5" resets the peak to the present resident size.
    std::ofstream("/proc/self/clear_refs") << "5";
}

long VirtualKiB()
{
    return StatusKiB("VmSize");
}

TBoundedRun RunBounded(const std::function<std::string()>& Load, long AddressLimitMiB)
{
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return {};
    const pid_t Pid = fork();
    if (Pid < 0) {
        close(Pipe[0]);
        close(Pipe[1]);
        return {};
    }
    if (Pid == 0) {
        close(Pipe[0]);
        alarm(120);
        if (!SanitizedBuild) {
            const rlim_t Limit = rlim_t(VirtualKiB() + AddressLimitMiB * 1024) * 1024;
            const struct rlimit Cap { Limit, Limit };
            setrlimit(RLIMIT_AS, &Cap);
        }
        ResetPeakResident();
        const long Before = ResidentKiB();
        const auto Start = std::chrono::steady_clock::now();
        std::string Result;
        try {
            Result = Load();
        } catch (const std::exception& E) {
            Result = std::string("raised: ") + E.what();
        }
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        const std::string Line =
            std::to_string(PeakResidentKiB() - Before) + " " + std::to_string(Seconds) + " " + Result;
        [[maybe_unused]] const ssize_t Written = write(Pipe[1], Line.data(), Line.size());
        _exit(0);
    }
    close(Pipe[1]);
    std::string Text;
    char Buffer[512];
    for (;;) {
        const ssize_t N = read(Pipe[0], Buffer, sizeof Buffer);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            break;
        Text.append(Buffer, size_t(N));
    }
    close(Pipe[0]);
    int Status = 0;
    while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) { }
    TBoundedRun Run;
    Run.Exited = WIFEXITED(Status) && WEXITSTATUS(Status) == 0 && !Text.empty();
    if (!Run.Exited)
        return Run;
    std::istringstream In(Text);
    In >> Run.PeakKiB >> Run.Seconds;
    std::getline(In >> std::ws, Run.Result);
    return Run;
}

void PrintBoundedRun(const std::string& Name, Int64 InputBytes, const TBoundedRun& Run)
{
    std::printf("| %-50s | %10lld B | %7.3f s | %8ld KiB | %s |\n", Name.c_str(), static_cast<long long>(InputBytes),
        Run.Seconds, Run.PeakKiB, Run.Exited ? Run.Result.c_str() : "no result: the child was ended");
}

TToolResult RunThisTestWithoutUnits()
{
    return RunThisTestWith({ std::string(NoUnitsVariable) + "=1" });
}

TRecorder::TRecorder(const fs::path& Program, const fs::path& Record, const std::string& Prelude)
    : FProgram(Program)
    , FRecord(Record)
{
    // Each argument ends with a NUL, each run with a newline. A run is put
    // together in a file of its own and appended with one write, so runs
    // that end at the same time do not interleave.
    const std::string Own = "'" + Record.string() + "'.$$";
    const std::string Text = "#!/bin/sh\n" + Prelude +
        "{ for a in \"$@\"; do printf '%s\\0' \"$a\"; done; printf '\\n'; } > " + Own + "\ncat " + Own + " >> '" +
        Record.string() + "'\nrm -f " + Own + "\n";
    WriteFileBytes(Program, Bytes(Text.begin(), Text.end()));
    fs::permissions(Program, fs::perms::owner_all);
}

std::vector<TRecorder::TArgs> TRecorder::Runs() const
{
    std::vector<TArgs> Runs;
    TArgs Current;
    std::string Arg;
    for (Byte B : ReadFileBytes(FRecord)) {
        if (B == 0) {
            Current.push_back(Arg);
            Arg.clear();
        } else if (B == '\n' && Arg.empty()) {
            Runs.push_back(Current);
            Current.clear();
        } else {
            Arg += char(B);
        }
    }
    return Runs;
}

Integer ZombieChildren()
{
    Integer Count = 0;
    for (const auto& Entry : fs::directory_iterator("/proc")) {
        std::ifstream Stat(Entry.path() / "stat");
        std::string Line;
        if (!std::getline(Stat, Line))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks.
        const size_t Close = Line.rfind(')');
        if (Close == std::string::npos || Close + 4 >= Line.size())
            continue;
        const char State = Line[Close + 2];
        const long Parent = std::strtol(Line.c_str() + Close + 4, nullptr, 10);
        if (State == 'Z' && Parent == ::getpid())
            ++Count;
    }
    return Count;
}

TChildProcess::TChildProcess(const std::vector<std::string>& Argv)
{
    int In[2], Out[2];
    if (Argv.empty() || ::pipe2(In, O_CLOEXEC) != 0)
        return;
    if (::pipe2(Out, O_CLOEXEC) != 0) {
        ::close(In[0]);
        ::close(In[1]);
        return;
    }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, In[0], 0);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
    std::vector<char*> Args;
    for (const std::string& A : Argv)
        Args.push_back(const_cast<char*>(A.c_str()));
    Args.push_back(nullptr);
    pid_t Child = -1;
    const int Error = ::posix_spawnp(&Child, Args[0], &Actions, nullptr, Args.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(In[0]);
    ::close(Out[1]);
    FIn = In[1];
    FOut = Out[0];
    if (Error == 0)
        FPid = Child;
}

TChildProcess::~TChildProcess()
{
    if (FPid > 0 && !FReaped) {
        ::kill(FPid, SIGKILL);
        Wait();
    }
    CloseInput();
    if (FOut >= 0)
        ::close(FOut);
}

std::string TChildProcess::ReadLine()
{
    for (;;) {
        const size_t End = FBuffer.find('\n');
        if (End != std::string::npos) {
            std::string Line = FBuffer.substr(0, End);
            FBuffer.erase(0, End + 1);
            return Line;
        }
        char Block[256];
        const ssize_t N = FOut >= 0 ? ::read(FOut, Block, sizeof Block) : 0;
        if (N <= 0) {
            std::string Rest = std::move(FBuffer);
            FBuffer.clear();
            return Rest;
        }
        FBuffer.append(Block, size_t(N));
    }
}

void TChildProcess::CloseInput()
{
    if (FIn >= 0)
        ::close(FIn);
    FIn = -1;
}

void TChildProcess::Kill(int Signal)
{
    if (FPid > 0 && !FReaped)
        ::kill(FPid, Signal);
}

int TChildProcess::Wait()
{
    if (FPid <= 0)
        return -1;
    if (!FReaped) {
        int Status = 0;
        while (::waitpid(FPid, &Status, 0) < 0 && errno == EINTR) { }
        FReaped = true;
        FExit = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    }
    return FExit;
}

}

std::filesystem::path Testing::TestPicturePath(const std::string& Name)
{
    const char* Root = std::getenv("X_BINARY_DIR");
    std::filesystem::path Folder = std::filesystem::path(Root && *Root ? Root : ".") / "test-pictures";
    std::filesystem::create_directories(Folder);
    return Folder / Name;
}

namespace Testing {

TBesideProgram::TBesideProgram(const std::vector<std::string>& Argv, const std::function<bool()>& Ready,
    Integer Milliseconds)
{
    if (Argv.empty() || !HaveTool(Argv[0]))
        return;
    FChild = std::make_unique<TChildProcess>(Argv);
    if (!FChild->Started())
        return;
    // The program comes up in real time; asked every 20 ms, never longer
    // than the deadline.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
    while (!(FReady = Ready()) && std::chrono::steady_clock::now() < Deadline)
        ::poll(nullptr, 0, 20);
}

TBesideProgram::~TBesideProgram()
{
    if (FChild && FChild->Started()) {
        FChild->Kill(SIGTERM);
        FChild->Wait();
    }
}

std::unique_ptr<TBesideProgram> StartWindowManager()
{
    if (!HaveTool("xprop") || !HaveTool("xdotool"))
        return nullptr;
    auto Has = [](const std::vector<std::string>& Argv, const std::string& Part) {
        return RunTool(Argv).Output.find(Part) != std::string::npos;
    };
    // One that ran before may have left its client list behind. A new one
    // publishes the list late in its start, but answers requests only once
    // its loop runs: a desktop switch answered is the sign.
    RunTool({ "xprop", "-root", "-remove", "_NET_CLIENT_LIST" });
    auto Manager = std::make_unique<TBesideProgram>(std::vector<std::string> { "openbox", "--sm-disable" }, [&] {
        if (!Has({ "xprop", "-root", "_NET_CLIENT_LIST" }, "window id"))
            return false;
        RunTool({ "xdotool", "set_desktop", "1" });
        return Has({ "xprop", "-root", "_NET_CURRENT_DESKTOP" }, "= 1");
    });
    if (!Manager->Ready())
        return nullptr;
    RunTool({ "xdotool", "set_desktop", "0" });
    return Manager;
}

TXvfb::TXvfb(Integer Width, Integer Height)
{
    if (!HaveTool("Xvfb"))
        return;
    int Pipe[2];
    if (::pipe2(Pipe, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 3);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string Screen = std::to_string(Width) + "x" + std::to_string(Height) + "x24";
    std::vector<std::string> Argv { "Xvfb", "-displayfd", "3", "-screen", "0", Screen, "-nolisten", "tcp", "-noreset" };
    std::vector<char*> Args;
    for (const std::string& A : Argv)
        Args.push_back(const_cast<char*>(A.c_str()));
    Args.push_back(nullptr);
    pid_t Child = -1;
    const int Error = ::posix_spawnp(&Child, Args[0], &Actions, nullptr, Args.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(Pipe[1]);
    if (Error == 0)
        FPid = Child;
    // The server writes its display number once it accepts connections.
    std::string Number;
    for (int Waited = 0; FPid > 0 && Waited < 10000;) {
        pollfd Fd { Pipe[0], POLLIN, 0 };
        if (::poll(&Fd, 1, 100) <= 0) {
            Waited += 100;
            continue;
        }
        char C;
        if (::read(Pipe[0], &C, 1) != 1)
            break;
        if (C == '\n') {
            FDisplay = ":" + Number;
            break;
        }
        Number += C;
    }
    ::close(Pipe[0]);
}

TXvfb::~TXvfb()
{
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        int Status;
        ::waitpid(FPid, &Status, 0);
    }
}


double PageCacheShare(const std::filesystem::path& Path)
{
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return 0;
    struct stat St { };
    void* Map = MAP_FAILED;
    if (::fstat(Fd, &St) == 0 && St.st_size > 0)
        Map = ::mmap(nullptr, size_t(St.st_size), PROT_READ, MAP_SHARED, Fd, 0);
    ::close(Fd);
    if (Map == MAP_FAILED)
        return 0;
    const long Page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> Resident(size_t((St.st_size + Page - 1) / Page));
    const bool Known = ::mincore(Map, size_t(St.st_size), Resident.data()) == 0;
    ::munmap(Map, size_t(St.st_size));
    if (!Known || Resident.empty())
        return 0;
    const auto In = std::count_if(Resident.begin(), Resident.end(), [](unsigned char R) { return (R & 1) != 0; });
    return double(In) / double(Resident.size());
}

bool DropFromPageCache(const std::filesystem::path& Path)
{
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return false;
    ::fdatasync(Fd);
    const bool Done = ::posix_fadvise(Fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(Fd);
    return Done;
}

namespace {

// MB/s of one pass of pread over the whole file in windows of 256 KiB.
double PreadMBps(const std::filesystem::path& Path)
{
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return 0;
    std::vector<char> Buffer(262144);
    Int64 Total = 0;
    const auto Start = std::chrono::steady_clock::now();
    for (;;) {
        const ssize_t N = ::pread(Fd, Buffer.data(), Buffer.size(), Total);
        if (N <= 0)
            break;
        Total += N;
    }
    const double S = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    ::close(Fd);
    return S > 0 ? double(Total) / S / 1e6 : 0;
}

}

TColdReads ProbeColdReads(const std::filesystem::path& Path)
{
    TColdReads R;
    R.Dropped = DropFromPageCache(Path);
    R.ResidentAfterDrop = PageCacheShare(Path);
    R.Dropped = R.Dropped && R.ResidentAfterDrop < 0.01;
    R.FirstMBps = PreadMBps(Path);
    DropFromPageCache(Path);
    R.SecondMBps = PreadMBps(Path);
    return R;
}

namespace {

size_t PeakResidentBytes()
{
    rusage Usage {};
    getrusage(RUSAGE_SELF, &Usage);
    return size_t(Usage.ru_maxrss) * 1024; // kibibytes on Linux
}

// The address space in use now: the first field of /proc/self/statm, in pages.
size_t AddressSpaceBytes()
{
    std::ifstream Statm("/proc/self/statm");
    size_t Pages = 0;
    Statm >> Pages;
    return Pages * size_t(sysconf(_SC_PAGESIZE));
}

// The thread sanitizer's shadow memory needs the room of the address space too.
#if defined(__SANITIZE_THREAD__)
constexpr bool ThreadSanitized = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool ThreadSanitized = true;
#else
constexpr bool ThreadSanitized = false;
#endif
#else
constexpr bool ThreadSanitized = false;
#endif

}

TMemoryBudget::TMemoryBudget(size_t Limit)
    : FPeakAtStart(PeakResidentBytes())
{
    if (SanitizedBuild || ThreadSanitized)
        return;
    const size_t Now = AddressSpaceBytes();
    const rlimit Bound { Now + Limit, Now + Limit };
    FLimited = Now > 0 && setrlimit(RLIMIT_AS, &Bound) == 0;
}

size_t TMemoryBudget::PeakGrowth() const
{
    const size_t Peak = PeakResidentBytes();
    return Peak > FPeakAtStart ? Peak - FPeakAtStart : 0;
}

}
