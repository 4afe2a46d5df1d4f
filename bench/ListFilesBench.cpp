// A recursive ListFiles over 100,000 files in 1,100 folders, next to
// `find <root> -type f` listing the same tree into a pipe that is read to
// the end (what a user would run instead). The tree is in the page cache
// after the first pass. Prints the times and the ratio of the two.
#include "core/XCore.IO.h"
#include "rtl/StringList.h"
#include "rtl/Units.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sys/stat.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int TopFolders = 10;
constexpr int SubFolders = 10;
constexpr int FilesPerFolder = 1000;
constexpr int FileCount = TopFolders * SubFolders * FilesPerFolder;
std::string Root;
std::map<std::string, double> Seconds;

void MakeTree()
{
    char Template[] = "/tmp/quorvale-listfiles-bench-XXXXXX";
    if (!::mkdtemp(Template)) {
        std::perror("bench tree");
        std::exit(1);
    }
    Root = Template;
    for (int T = 0; T < TopFolders; ++T) {
        const std::string Top = Root + "/top" + std::to_string(T);
        ::mkdir(Top.c_str(), 0755);
        for (int S = 0; S < SubFolders; ++S) {
            const std::string Sub = Top + "/sub" + std::to_string(S);
            ::mkdir(Sub.c_str(), 0755);
            for (int F = 0; F < FilesPerFolder; ++F) {
                const std::string File = Sub + "/IMG_" + std::to_string(F) + ".JPG";
                const int Fd = ::open(File.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                if (Fd < 0) {
                    std::perror("bench file");
                    std::exit(1);
                }
                ::close(Fd);
            }
        }
    }
}

// find's output lines, read from a pipe to the end.
int RunFind()
{
    int Out[2];
    if (::pipe2(Out, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
    char* Argv[] = { const_cast<char*>("find"), Root.data(), const_cast<char*>("-type"), const_cast<char*>("f"),
        nullptr };
    pid_t Child = -1;
    const int Error = ::posix_spawnp(&Child, "find", &Actions, nullptr, Argv, environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(Out[1]);
    int Lines = 0;
    char Block[65536];
    for (ssize_t N; Error == 0 && (N = ::read(Out[0], Block, sizeof Block)) > 0;)
        for (ssize_t I = 0; I < N; ++I)
            Lines += Block[I] == '\n';
    ::close(Out[0]);
    int Status = 0;
    if (Error == 0)
        ::waitpid(Child, &Status, 0);
    return Error == 0 ? Lines : -1;
}

void BM_ListFiles(benchmark::State& State)
{
    TOwnedPtr<TStringList> List(New<TStringList>());
    const String Folder = UTF8ToString(Root);
    for (auto _ : State) {
        ListFiles(Folder, u"*.jpg", List.get(), true);
        if (List->Count() != FileCount)
            State.SkipWithError("ListFiles missed files");
    }
    State.SetItemsProcessed(State.iterations() * FileCount);
}

void BM_FindTypeF(benchmark::State& State)
{
    for (auto _ : State)
        if (RunFind() != FileCount)
            State.SkipWithError("find is missing or missed files");
    State.SetItemsProcessed(State.iterations() * FileCount);
}

BENCHMARK(BM_ListFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindTypeF)->Unit(benchmark::kMillisecond)->UseRealTime();

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& R : Runs)
            if (!R.error_occurred)
                Seconds[R.benchmark_name()] = R.GetAdjustedRealTime() / 1000.0;
    }
};

}

int main(int argc, char** argv)
{
    InitializeUnits();
    MakeTree();
    benchmark::Initialize(&argc, argv);
    TRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    const auto Ours = Seconds.find("BM_ListFiles/real_time");
    const auto Find = Seconds.find("BM_FindTypeF/real_time");
    if (Ours != Seconds.end() && Find != Seconds.end())
        std::printf("%d files: ListFiles %.1f ms, find -type f %.1f ms, ratio ListFiles / find %.2f\n", FileCount,
            Ours->second * 1000, Find->second * 1000, Ours->second / Find->second);
    benchmark::Shutdown();
    std::error_code Ignored;
    std::filesystem::remove_all(Root, Ignored);
    FinalizeUnits();
    return 0;
}
