// Helpers shared by every test program: a temporary folder, the raised-code
// probe, whole files and streams as bytes, and outside tools run by
// argument vector (never through a shell).
#pragma once
#include "rtl/Types.h"
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TStream;

namespace Testing {

using Bytes = std::vector<Byte>;

// A new empty folder under the system temporary folder, removed with
// everything in it (links are removed, never followed) when this goes.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& Prefix = "quorvale-test");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // Path() / Name as a String, for the code under test.
    String File(const std::string& Name) const;
    std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

private:
    std::filesystem::path FPath;
};

// Sets (or, with no value, removes) an environment variable and puts back
// what was there when this goes.
class TScopedEnv {
public:
    TScopedEnv(std::string Name, const std::optional<std::string>& Value);
    ~TScopedEnv();
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// The code carried by an exception that Fn raised (the framework raises its
// error codes as their decimal text); 0 when Fn raised nothing, -1 when it
// raised something that carries no code.
Integer RaisedCode(const std::function<void()>& Fn);

Bytes ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const Bytes& Data);
// The whole stream from its start; the position is left at its end.
Bytes StreamBytes(TStream* Stream);
// A text as UTF-8, for readable test failures.
inline std::string U8(const String& S)
{
    return StringToUTF8(S);
}
// Count bytes of a fixed seed's noise, never 0 (so never a blank run).
Bytes RandomBytes(size_t Count, unsigned Seed);

struct TToolResult {
    int ExitCode = -1; // 127: the tool is not there; -1: killed by a signal
    std::string Output; // standard output; standard error is dropped
};

// Runs Argv[0] (found as FindTool finds it) with exactly these arguments in
// Folder (the current folder when empty), Input on its standard input.
TToolResult RunTool(const std::vector<std::string>& Argv, const std::filesystem::path& Folder = {},
    const std::string& Input = {});
// The executable Name: on PATH, else in /usr/sbin or /sbin (where mkfs.fat
// and losetup live, which a user's PATH may lack); empty when there is none.
// A Name with a "/" is taken as it is.
std::string FindTool(const std::string& Name);
// True when FindTool finds Name.
bool HaveTool(const std::string& Name);

// A program running beside the test, its standard input and output joined
// to the test by pipes. Killed (SIGKILL) and reaped when this goes.
class TChildProcess {
public:
    explicit TChildProcess(const std::vector<std::string>& Argv);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return FPid > 0; }
    int Pid() const { return FPid; }
    // The next line of its output without the newline; empty at its end.
    std::string ReadLine();
    // Ends its input: a child reading it sees the end.
    void CloseInput();
    void Kill(int Signal);
    // Waits for its end: the exit code, -1 when a signal ended it.
    int Wait();

private:
    int FPid = -1;
    int FIn = -1;
    int FOut = -1;
    std::string FBuffer;
    bool FReaped = false;
    int FExit = -1;
};

// A recording program for tests that start programs: a shell script at
// Program that appends the arguments of each run to Record. Prelude is
// shell text run first (its own quoting is the caller's).
class TRecorder {
public:
    using TArgs = std::vector<std::string>;
    TRecorder(const std::filesystem::path& Program, const std::filesystem::path& Record,
        const std::string& Prelude = {});
    const std::filesystem::path& Program() const { return FProgram; }
    // The arguments of every run so far, in the order the runs ended.
    std::vector<TArgs> Runs() const;

private:
    std::filesystem::path FProgram;
    std::filesystem::path FRecord;
};

// Children of this process that have ended and were never reaped.
Integer ZombieChildren();

// Where a test saves a picture for a person to look at:
// <build tree>/test-pictures/Name (the folder is made). The build tree comes
// from X_BINARY_DIR, set by CTest; a test started by hand uses the current
// folder's test-pictures.
std::filesystem::path TestPicturePath(const std::string& Name);

// Runs the calling test once more, alone, in a new process of this test
// program, with the variables Env ("NAME=value") added to its
// environment; the test tells by them that it runs there. ExitCode is 0
// only when the test ran there and passed; Output is what the run printed.
TToolResult RunThisTestWith(const std::vector<std::string>& Env);

// Memory of this process from /proc/self/status, in KiB (-1 when unknown):
// its resident size now and the largest it has had since the start or the
// last ResetPeakResident.
long ResidentKiB();
long PeakResidentKiB();
void ResetPeakResident();

// One load of hostile data run in a forked child: what Load answered (a
// short text of its result), how long it took and how far the child's
// resident memory rose above where it stood before the load. The child
// gets AddressLimitMiB of address space beyond what it has (not under the
// address sanitizer, which reserves its own) and two minutes before an
// alarm ends it, so a runaway load fails instead of taking the machine.
// Exited is false when the child did not end by itself with a result.
struct TBoundedRun {
    bool Exited = false;
    std::string Result;
    double Seconds = 0;
    long PeakKiB = -1;
};
TBoundedRun RunBounded(const std::function<std::string()>& Load, long AddressLimitMiB);
// One row of a table of such runs, printed for the log.
void PrintBoundedRun(const std::string& Name, Int64 InputBytes, const TBoundedRun& Run);

// Set in the environment of a test program whose main is to initialise no
// unit.
// True in a build with the address or thread sanitizer. The few tests that
// move hundreds of megabytes run in the optimised pass only: under a
// sanitizer they cost minutes and check nothing the small cases do not.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool SanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool SanitizedBuild = true;
#else
inline constexpr bool SanitizedBuild = false;
#endif
#else
inline constexpr bool SanitizedBuild = false;
#endif

inline constexpr const char* NoUnitsVariable = "X_TEST_NO_UNITS";
// Set in the environment of a test program that is to show its windows on
// the display DISPLAY names (a test that started an X server runs itself
// again there); otherwise every window stays headless.
inline constexpr const char* OnDisplayVariable = "X_TEST_ON_DISPLAY";
// Runs the calling test once more, alone, in a new process of this test
// program that initialises no unit: there UnitsInitialized() is false
// until the test initialises some. ExitCode is 0 only when the test ran
// there and passed; Output is what the run printed.
TToolResult RunThisTestWithoutUnits();

// Page cache of a file, for benchmarks that read it warm or cold. The share
// of its pages that are resident (0 for a file that cannot be mapped);
// DropFromPageCache writes its dirty pages and asks the kernel to drop the
// rest (posix_fadvise DONTNEED), answering whether the call succeeded.
double PageCacheShare(const std::filesystem::path& Path);
bool DropFromPageCache(const std::filesystem::path& Path);
// Where cold reads come from: whether the drop works here (nearly nothing
// resident after it), and how much faster a second cold read of the whole
// file runs than the first. Far above 1, something below this system (a
// virtual machine's host) caches the disk, and cold figures show that
// cache rather than the device.
struct TColdReads {
    bool Dropped = false;
    double ResidentAfterDrop = 1; // share of pages
    double FirstMBps = 0, SecondMBps = 0;
    double SecondOverFirst() const { return FirstMBps > 0 ? SecondMBps / FirstMBps : 0; }
    bool CachedBelow() const { return SecondOverFirst() > 1.5; }
};
TColdReads ProbeColdReads(const std::filesystem::path& Path);

// Memory a test may use from here on, for a test in a process of its own
// (RunThisTestWith): the address space may grow by at most Limit bytes
// (RLIMIT_AS: an allocation beyond it fails; not set in a sanitized build,
// whose shadow memory needs the room), and PeakGrowth() answers how far
// the peak resident size rose above the peak at the start, in bytes.
class TMemoryBudget {
public:
    explicit TMemoryBudget(size_t Limit);
    // True when the address space limit is in force.
    bool Limited() const { return FLimited; }
    size_t PeakGrowth() const;

private:
    size_t FPeakAtStart = 0;
    bool FLimited = false;
};

// An X server of the test's own: Xvfb, which picks a free display number
// and tells it (-displayfd). Display() is ":N", empty when Xvfb is missing
// or did not come up within 10 s; the server is killed when this goes.
// Runs Argv beside the test (a window manager, a compositing manager on
// the test's display) until the object goes; Ready tells whether it came
// up, asked until it answers true or Milliseconds pass.
class TBesideProgram {
public:
    TBesideProgram(const std::vector<std::string>& Argv, const std::function<bool()>& Ready, Integer Milliseconds = 5000);
    ~TBesideProgram();
    TBesideProgram(const TBesideProgram&) = delete;
    TBesideProgram& operator=(const TBesideProgram&) = delete;
    bool Ready() const { return FReady; }

private:
    std::unique_ptr<TChildProcess> FChild;
    bool FReady = false;
};

// openbox on the display DISPLAY names, once it answers requests; null
// when it is not installed or does not come up.
std::unique_ptr<TBesideProgram> StartWindowManager();

class TXvfb {
public:
    explicit TXvfb(Integer Width = 1024, Integer Height = 768);
    ~TXvfb();
    TXvfb(const TXvfb&) = delete;
    TXvfb& operator=(const TXvfb&) = delete;

    const std::string& Display() const { return FDisplay; }
    bool Started() const { return !FDisplay.empty(); }

private:
    int FPid = -1;
    std::string FDisplay;
};

}
