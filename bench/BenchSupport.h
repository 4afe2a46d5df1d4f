// What the benchmark programs share: timing a piece of work and reporting
// the ratios to the reference measured beside it in the same run; for the
// readers of images, the images written one way and the pread loop they
// are measured against.
#pragma once
#include "rtl/AlignedBytes.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace XBench {

// Seconds Work took.
template<class F>
double Timed(F&& Work)
{
    const auto Start = std::chrono::steady_clock::now();
    Work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

inline double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

// Ratios by name, one per iteration; printed with their median and range.
class TRatios {
public:
    void Add(const std::string& Name, double Ratio) { FRatios[Name].push_back(Ratio); }
    const std::vector<double>& Of(const std::string& Name) { return FRatios[Name]; }
    void Print() const
    {
        for (const auto& [Name, V] : FRatios) {
            if (V.empty())
                continue;
            const auto [Low, High] = std::minmax_element(V.begin(), V.end());
            std::printf("%s: median %.2f (from %.2f to %.2f over %zu iterations)\n", Name.c_str(), Median(V), *Low,
                *High, V.size());
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::vector<double>> FRatios;
};

// ---- images read from the page cache ----

// The page cache keeps a file in pieces as large as the writes that made
// it allowed, and the kernel copies out of large pieces faster: every image
// is written in writes of this size, so that the figures of one machine
// compare with another's.
inline constexpr size_t ImageWriteSize = size_t(4) << 20;
inline constexpr size_t PreadWindow = 262144;

// Writes an image from the start on, in writes of ImageWriteSize whatever
// the pieces appended; ends the program when the image cannot be written.
class TImageWriter {
public:
    explicit TImageWriter(const std::string& Path)
        : FPath(Path)
        , FFd(::open(Path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644))
    {
        FChunk.reserve(ImageWriteSize);
        if (FFd < 0)
            Fail();
    }
    ~TImageWriter()
    {
        Flush();
        ::close(FFd);
    }
    TImageWriter(const TImageWriter&) = delete;
    TImageWriter& operator=(const TImageWriter&) = delete;

    void Append(const Byte* Data, size_t Size)
    {
        while (Size > 0) {
            const size_t N = std::min(Size, ImageWriteSize - FChunk.size());
            FChunk.insert(FChunk.end(), Data, Data + N);
            Data += N;
            Size -= N;
            if (FChunk.size() == ImageWriteSize)
                Flush();
        }
    }
    long long Written() const { return FAt + (long long)FChunk.size(); }

private:
    std::string FPath;
    int FFd;
    std::vector<Byte> FChunk;
    long long FAt = 0;

    void Flush()
    {
        if (!FChunk.empty() && ::pwrite(FFd, FChunk.data(), FChunk.size(), FAt) != ssize_t(FChunk.size()))
            Fail();
        FAt += (long long)FChunk.size();
        FChunk.clear();
    }
    [[noreturn]] void Fail()
    {
        std::perror(FPath.c_str());
        std::exit(1);
    }
};

// How the images were written, for the report.
inline std::string ImageWrites()
{
    return "written with " + std::to_string(ImageWriteSize >> 20) + " MiB writes";
}

// Seconds for the pread loop a user would write: the whole file in windows
// of 256 KiB into one buffer on a page, over and over.
inline double PreadLoop(const std::string& Path)
{
    const int Fd = ::open(Path.c_str(), O_RDONLY);
    TAlignedBytes Buffer(PreadWindow);
    long long Total = 0;
    const double S = Timed([&] {
        for (long long Off = 0;; Off += (long long)Buffer.size()) {
            const ssize_t N = ::pread(Fd, Buffer.data(), Buffer.size(), Off);
            if (N <= 0)
                break;
            Total += N;
        }
    });
    benchmark::DoNotOptimize(Total);
    ::close(Fd);
    return S;
}

// Seconds of the reference and of ours, measured one after the other in
// the same iteration; which goes first alternates from one iteration to
// the next, so neither always meets the cache the other left.
class TInterleaved {
public:
    template<class R, class O>
    std::pair<double, double> Measure(R&& Reference, O&& Ours)
    {
        double Ref = 0, Mine = 0;
        FOursFirst = !FOursFirst;
        if (FOursFirst) {
            Mine = Ours();
            Ref = Reference();
        } else {
            Ref = Reference();
            Mine = Ours();
        }
        return { Ref, Mine };
    }

private:
    bool FOursFirst = true;
};

// The load averages of the machine (1, 5 and 15 minutes).
inline std::string LoadAverages()
{
    std::ifstream In("/proc/loadavg");
    std::string A, B, C;
    In >> A >> B >> C;
    return A + " " + B + " " + C;
}

}
